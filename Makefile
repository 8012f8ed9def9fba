# Quick start targets; see README.md.
.PHONY: deps test build run format

deps:
	./scripts/install-deps.sh

# Installs what is missing, then builds and runs every test (plain and sanitizer builds).
test: deps
	./scripts/test.sh

build: deps
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build build

# Builds the desktop program and starts it on the database beside it, creating an empty
# database there the first time.
run: deps
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build build --target tallowick twk
	@[ -f build/bin/twk.db ] || build/bin/twk init-db build/bin/twk.db
	build/bin/tallowick

format:
	cmake -S . -B build -G Ninja >/dev/null
	cmake --build build --target format
