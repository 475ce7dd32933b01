# Amberslope — two commands from a fresh Debian 12 machine:
#   make demo   install what is missing, build the plug-in and the host tool, show what a host sees
#   make test   install what is missing, build everything and run the whole test suite
BUILD_DIR ?= build
BUILD_TYPE ?= Release
JOBS ?= $(shell nproc)
CMAKE_ARGS ?=

HOST := $(BUILD_DIR)/tools/amberslope-host

SANITIZED := tsan:thread asan:address,undefined
export TSAN_OPTIONS ?= halt_on_error=1:second_deadlock_stack=1
export ASAN_OPTIONS ?= detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS ?= halt_on_error=1:print_stacktrace=1

.PHONY: all deps configure build test sanitizers demo bench clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD_DIR) --parallel $(JOBS)

# The JUCE-free DSP core's tests again under ThreadSanitizer and Address+UndefinedBehaviorSanitizer
# (quick: no JUCE in these builds), then the whole suite.
sanitizers: deps
	@set -e; for pair in $(SANITIZED); do \
	    name=$${pair%%:*}; flags=$${pair#*:}; dir=$(BUILD_DIR)-$$name; \
	    cmake -S . -B $$dir -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAMBERSLOPE_BUILD_PLUGIN=OFF \
	        -DAMBERSLOPE_SANITIZERS=$$flags $(CMAKE_ARGS); \
	    cmake --build $$dir --parallel $(JOBS); \
	    (cd $$dir && ctest --output-on-failure --parallel $(JOBS)); \
	done

test: build sanitizers
	cd $(BUILD_DIR) && ctest --output-on-failure --parallel $(JOBS)

demo: build
	$(HOST) info

bench: deps
	cmake -S . -B $(BUILD_DIR)-bench -DCMAKE_BUILD_TYPE=Release -DAMBERSLOPE_BUILD_PLUGIN=OFF \
	    -DAMBERSLOPE_BUILD_TESTS=OFF -DAMBERSLOPE_BUILD_BENCHMARKS=ON
	cmake --build $(BUILD_DIR)-bench --parallel $(JOBS)
	$(BUILD_DIR)-bench/bench/amberslope_bench

clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-bench $(BUILD_DIR)-tsan $(BUILD_DIR)-asan
