# The two commands of the quick start: `make run` and `make test`. Each installs whatever
# Debian packages are missing first, so on a fresh machine they are the whole set-up.
.PHONY: run test deps build bench fuzz-long format dist clean

FUZZ_SECONDS ?= 600

deps:
	@tools/install-dependencies.sh all

build: deps
	cmake --preset host >/dev/null && cmake --build --preset host
	cmake --preset win32 >/dev/null && cmake --build --preset win32
	cmake --preset win64 >/dev/null && cmake --build --preset win64

test: build
	ctest --preset host
	ctest --preset win32 --no-tests=ignore
	ctest --preset win64 --no-tests=ignore

run: build
	@echo "Built the Windows engine libraries; the panel program arrives with a later change."

bench: build
	ctest --preset bench

# A long fuzzing session for every fuzz target (FUZZ_SECONDS each).
fuzz-long: build
	cmake -S . --preset host -DQUORVEL_FUZZ_SECONDS=$(FUZZ_SECONDS) >/dev/null
	ctest --preset host -L fuzz --timeout 0
	cmake -S . --preset host -DQUORVEL_FUZZ_SECONDS=20 >/dev/null

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build dist
