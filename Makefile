# Shortcuts for the scripts the README names.
.PHONY: deps test run format

deps:
	./scripts/install-deps.sh

# Installs what is missing, then builds and runs every test (plain and sanitizer builds).
test:
	./scripts/test.sh

# Builds the desktop program and starts it on build/bin/twk.db, created the first time.
run:
	./scripts/run.sh

format: deps
	cmake -S . -B build -G Ninja >/dev/null
	cmake --build build --target format
