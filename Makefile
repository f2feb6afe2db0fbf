# The two commands of the quick start: `make run` and `make test`. Each installs whatever
# Debian packages are missing first, so on a fresh machine they are the whole set-up.
.PHONY: run test deps build bench fuzz-long format dist guide-pictures clean

FUZZ_SECONDS ?= 600

deps:
	@tools/install-dependencies.sh all

build: deps
	cmake --preset host >/dev/null && cmake --build --preset host
	cmake --preset win32 >/dev/null && cmake --build --preset win32
	cmake --preset win64 >/dev/null && cmake --build --preset win64

# The Wine runs prove the 32-bit product where this machine runs 32-bit processes, and the
# x86_64 build of the same sources where it does not; pick-wine-build.sh says which, and why.
# The output gate's stress test, the save around others and the stub check run on every build
# this machine's Wine runs, the builds side by side (run-wine-suites.sh).
test: build
	ctest --preset host
	ctest --preset win32 -L windows
	ctest --preset win64 -L windows
	tools/pick-wine-build.sh >/dev/null
	tools/run-wine-suites.sh

VERSION := $(shell grep -o "Quorvel VERSION [0-9.]*" CMakeLists.txt | cut -d " " -f 3)

# Builds the program and runs the demo under Wine between two virtual MIDI devices (on Xvfb
# when no display is set). On Windows, run build/win32/Quorvel.exe directly.
run: deps
	wine_build=$$(tools/pick-wine-build.sh) && \
	    cmake --preset $$wine_build >/dev/null && cmake --build --preset $$wine_build && \
	    QUORVEL_BUILD_DIR=$(CURDIR)/build/$$wine_build PYTHONPATH=$(CURDIR) \
	    python3 tools/demo.py

# The release for musicians: the 32-bit product, the user guide as one self-contained page, the
# licence and the change list, each opened with a double click; checked as the exe check checks
# a build, and its SHA-256 printed. The guide is rendered with Debian's python3-markdown.
dist: deps
	cmake --preset win32 >/dev/null && cmake --build --preset win32
	rm -rf build/dist && mkdir -p build/dist dist
	cp build/win32/Quorvel.exe build/dist/
	/usr/bin/python3 tools/render-guide.py docs/UserGuide.md build/dist/UserGuide.html
	cp LICENSE build/dist/LICENSE.txt
	cp CHANGES.md build/dist/CHANGES.txt
	rm -f dist/Quorvel-$(VERSION)-win32.zip
	cd build/dist && python3 -m zipfile -c ../../dist/Quorvel-$(VERSION)-win32.zip \
	    Quorvel.exe UserGuide.html LICENSE.txt CHANGES.txt
	rm -rf build/dist-check && python3 -m zipfile -e dist/Quorvel-$(VERSION)-win32.zip build/dist-check
	python3 tools/check-exe.py build/dist-check/Quorvel.exe i686
	@sha256sum dist/Quorvel-$(VERSION)-win32.zip

# The user guide's pictures drawn again: the signal flows from docs/*.dot, and the labelled
# panel from a fresh screenshot of the demo's panel (on a display of its own), its devices named
# as a Windows 11 musician sees them. Run it after a change to the panel or to a .dot source,
# and commit what it changes in docs/.
guide-pictures: deps
	env -u DISPLAY QUORVEL_DEMO_NAMES=windows $(MAKE) run
	tools/render-guide-pictures.sh

bench: build
	ctest --preset bench
	wine_build=$$(tools/pick-wine-build.sh) && ctest --preset $$wine_build-bench

# A long fuzzing session for every fuzz target (FUZZ_SECONDS each).
fuzz-long: build
	QUORVEL_FUZZ_SECONDS=$(FUZZ_SECONDS) ctest --preset host -L fuzz --timeout 0

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build dist
