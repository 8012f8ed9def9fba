# Quick start targets; see README.md.
.PHONY: deps test build format

deps:
	./scripts/install-deps.sh

# Installs what is missing, then builds and runs every test (plain and sanitizer builds).
test: deps
	./scripts/test.sh

build: deps
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build build

format:
	cmake -S . -B build -G Ninja >/dev/null
	cmake --build build --target format
