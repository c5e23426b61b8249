# One entry point for building, testing, benchmarking and the demo.
# Everything builds with CMake presets into build/<preset>/; the runnable tree
# (host program, plug-in, data) is staged in build/<preset>/stage/.

PRESET ?= default
BUILD_DIR := build/$(PRESET)
STAGE := $(BUILD_DIR)/stage
ARRIA5 := $(STAGE)/bin/arria5
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build test asan-test fuzz demo bench clean

all: build

deps:
	@scripts/setup-deps

configure: deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET) -j $(JOBS)

test: build
	@ctest --preset $(PRESET) -j $(JOBS)

asan-test:
	@$(MAKE) --no-print-directory test PRESET=asan

# The fuzz targets (clang, libFuzzer, sanitizers) for a fixed time each.
fuzz:
	@scripts/setup-deps clang libclang-rt-14-dev
	@FUZZ_SECONDS=$${FUZZ_SECONDS:-30} scripts/fuzz-smoke

demo: build
	@$(ARRIA5) demo

bench: build
	@for b in $(BUILD_DIR)/benchmarks/bench_*; do [ -x "$$b" ] && "$$b" --benchmark_min_time=0.2; done

clean:
	@rm -rf build
