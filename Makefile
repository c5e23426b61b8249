# One entry point for building, testing, benchmarking and the demo.
# Everything builds with CMake presets into build/<preset>/; the runnable tree
# (host program, plug-in, data) is staged in build/<preset>/stage/.

PRESET ?= default
BUILD_DIR := build/$(PRESET)
STAGE := $(BUILD_DIR)/stage
ARRIA5 := $(STAGE)/bin/arria5
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build test asan-test demo bench clean

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

demo: build
	@echo "== The simulated bench: scan the JTAG chain"
	@$(ARRIA5) chain
	@echo
	@echo "== The first device as the host sees it"
	@$(ARRIA5) info 5AGXFB3H4F35C4N | head -n 12
	@echo
	@echo "== Program it with a bit stream carrying user code 0xCAFE1234 (reset, program, state, user code)"
	@$(ARRIA5) make-rbf $(BUILD_DIR)/demo.rbf --usercode 0xCAFE1234
	@$(ARRIA5) program $(BUILD_DIR)/demo.rbf
	@echo
	@echo "== Its IO standards"
	@$(ARRIA5) info 0 --iostandards | sed -n '/^IO standards/,$$p' | head -n 8

bench: build
	@for b in $(BUILD_DIR)/benchmarks/bench_*; do [ -x "$$b" ] && "$$b" --benchmark_min_time=0.2; done

clean:
	@rm -rf build
