# One-word commands for Kestrine. Everything goes through CMake presets.
PREFIX ?= /usr/local
# macOS has no nproc; sysctl gives the same count there.
JOBS ?= $(shell nproc 2>/dev/null || sysctl -n hw.ncpu)
# Installing into a system prefix needs root; ask sudo when we are not root.
AS_ROOT := $(shell [ "$$(id -u)" -eq 0 ] || echo sudo)

.PHONY: all deps configure build test sanitize fuzz demo bench run install package sign format clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	cmake --preset dev

build: configure
	cmake --build --preset dev -j $(JOBS)

test: build
	ctest --preset dev -j $(JOBS)

demo: configure
	cmake --build --preset dev -j $(JOBS) --target kestrine-sim
	build/dev/sim/kestrine-sim demo

# The unit and integration tests under AddressSanitizer and
# UndefinedBehaviorSanitizer; the first fault stops the test that hit it.
sanitize: deps
	cmake --preset sanitize
	cmake --build --preset sanitize -j $(JOBS)
	ctest --preset sanitize -j $(JOBS)

# Each fuzz target for FUZZ_SECONDS, started from the stored test inputs. A
# crash stops it, prints the input and fails the command.
FUZZ_SECONDS ?= 60
fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	fuzz/run build/fuzz/fuzz $(FUZZ_SECONDS)

bench: deps
	cmake --preset bench
	cmake --build --preset bench -j $(JOBS)
	@for b in build/bench/bench/bench_*; do [ -x "$$b" ] && "$$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true || exit 1; done

# Runs the release build as installed (menu and autostart entries included).
ifeq ($(shell uname -s),Darwin)
run: build
	open build/dev/src/platform/macos/Kestrine.app
else
run: install
	$(PREFIX)/bin/kestrine
endif

install: deps
	cmake --preset release -DCMAKE_INSTALL_PREFIX=$(PREFIX)
	cmake --build --preset release -j $(JOBS)
	$(AS_ROOT) cmake --install build/release

# The Debian package (debian/), built by Debian's own tools from a copy of the
# sources in build/package/src: dpkg-buildpackage writes its results next to
# the source folder, so the .deb files (the -dbgsym one too) land in
# build/package/, and nothing cached by `make install` reaches the package.
package: deps
	rm -rf build/package
	mkdir -p build/package/src
	tar -c --exclude=./build --exclude=./.git --exclude=./.cache . | tar -x -C build/package/src
	cd build/package/src && DEB_BUILD_OPTIONS="parallel=$(JOBS) $(DEB_BUILD_OPTIONS)" dpkg-buildpackage -b -us -uc
	rm -rf build/package/src

# On a Mac: the release bundle, which every build signs ad hoc (docs/macos.md).
sign: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS)

format:
	git ls-files '*.cpp' '*.h' '*.mm' | xargs clang-format -i

clean:
	rm -rf build
