# One interface target carries the settings every target of ours shares.
add_library(twk_settings INTERFACE)
target_compile_features(twk_settings INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(twk_settings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast)
if(TWK_WERROR)
    target_compile_options(twk_settings INTERFACE -Werror)
endif()

if(TWK_SANITIZE)
    set(TWK_SANITIZE_FLAGS -fsanitize=${TWK_SANITIZE} -fno-omit-frame-pointer)
    if(TWK_SANITIZE MATCHES "undefined")
        list(APPEND TWK_SANITIZE_FLAGS -fno-sanitize-recover=undefined)
    endif()
    # Applied globally so that the test framework and our code agree on the runtime.
    add_compile_options(${TWK_SANITIZE_FLAGS})
    add_link_options(${TWK_SANITIZE_FLAGS})
endif()

# Fuzzing instruments all of our code for libFuzzer's coverage; only the fuzz targets
# link libFuzzer's main.
if(TWK_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "TWK_FUZZ needs Clang (CXX=clang++)")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Third-party headers are included as system headers so that their warnings are not ours.
find_package(PkgConfig REQUIRED)
pkg_check_modules(HTMLCXX REQUIRED IMPORTED_TARGET htmlcxx)
find_package(CURL REQUIRED)
find_package(SQLite3 REQUIRED)
find_package(Boost 1.74 REQUIRED COMPONENTS regex)
find_package(Threads REQUIRED)
find_package(nlohmann_json 3 REQUIRED)

# Release builds (and so the package) get the hardening Debian builds its own packages
# with: fortified libc calls, stack protector, read-only relocations bound at start, PIE.
# A program that handles passwords and pages from the network should have them; lintian
# reports their absence. The sanitizer and fuzz builds keep their own instrumentation; the
# developers' RelWithDebInfo builds go without, since GCC 12's fortified wmemcpy warns
# wrongly on moved wide strings in the tests.
if(NOT TWK_SANITIZE AND NOT TWK_FUZZ)
    set(TWK_HARDENING_CPPFLAGS -D_FORTIFY_SOURCE=2)
    set(TWK_HARDENING_CXXFLAGS -fstack-protector-strong -Wformat -Werror=format-security)
    set(TWK_HARDENING_LDFLAGS -Wl,-z,relro -Wl,-z,now)
    find_program(DPKG_BUILDFLAGS_EXE dpkg-buildflags)
    if(DPKG_BUILDFLAGS_EXE)
        foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
            execute_process(
                COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                    ${DPKG_BUILDFLAGS_EXE} --get ${kind}
                OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE result)
            if(result EQUAL 0)
                separate_arguments(flags UNIX_COMMAND "${flags}")
                # Debugging and optimisation stay the build type's business.
                list(FILTER flags EXCLUDE REGEX "^-(g|O.*|f(file|debug|macro)-prefix-map=.*)$")
                set(TWK_HARDENING_${kind} ${flags})
            endif()
        endforeach()
    endif()
    # Newer dpkg adds these two as well. The program is marked as protected against
    # control-flow hijacking only when every object linked in carries the marking.
    include(CheckCXXCompilerFlag)
    foreach(flag -fstack-clash-protection -fcf-protection)
        string(MAKE_C_IDENTIFIER "TWK_HAS${flag}" supported)
        check_cxx_compiler_flag(${flag} ${supported})
        if(${supported})
            list(APPEND TWK_HARDENING_CXXFLAGS ${flag})
        endif()
    endforeach()
    list(REMOVE_DUPLICATES TWK_HARDENING_CXXFLAGS)
    set(TWK_OPTIMISED $<CONFIG:Release,MinSizeRel>)
    target_compile_options(twk_settings INTERFACE
        "$<${TWK_OPTIMISED}:${TWK_HARDENING_CPPFLAGS};${TWK_HARDENING_CXXFLAGS}>")
    target_link_options(twk_settings INTERFACE "$<${TWK_OPTIMISED}:${TWK_HARDENING_LDFLAGS}>")
    include(CheckPIESupported)
    check_pie_supported()
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)
endif()
