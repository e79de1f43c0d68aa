# One-word commands for Kestrine. Everything goes through CMake presets.
PREFIX ?= /usr/local
JOBS ?= $(shell nproc)

.PHONY: all deps configure build test demo bench run install package format clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	cmake --preset dev

build: configure
	cmake --build --preset dev -j $(JOBS)

test: build
	ctest --preset dev -j $(JOBS)

demo: build
	build/dev/src/platform/sim/kestrine-sim demo

bench: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS)
	@for b in build/release/bench/bench_*; do [ -x "$$b" ] && "$$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true || exit 1; done

run: build
ifeq ($(shell uname -s),Darwin)
	open build/dev/src/platform/macos/Kestrine.app
else
	build/dev/src/platform/linux/kestrine
endif

install: deps
	cmake --preset release -DCMAKE_INSTALL_PREFIX=$(PREFIX)
	cmake --build --preset release -j $(JOBS)
	cmake --install build/release

package: deps
	cmake --preset release -DCMAKE_INSTALL_PREFIX=/usr
	cmake --build --preset release -j $(JOBS)
	cd build/release && cpack -G DEB

format:
	git ls-files '*.cpp' '*.h' '*.mm' | xargs clang-format -i

clean:
	rm -rf build
