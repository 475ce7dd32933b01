# Amberslope — two commands from a fresh Debian 12 machine:
#   make demo   install what is missing, build the plug-in and the host tool, show what a host sees
#   make test   install what is missing, build everything and run the whole test suite
SHELL := /bin/bash
BUILD_DIR ?= build
BUILD_TYPE ?= Release
JOBS ?= $(shell nproc)
CMAKE_ARGS ?=

HOST := $(BUILD_DIR)/tools/amberslope-host

# name:sanitizers:C compiler:C++ compiler. RealtimeSanitizer needs clang (20 or later).
SANITIZED := tsan:thread:gcc:g++ asan:address,undefined:gcc:g++ rtsan:realtime:clang-22:clang++-22
export TSAN_OPTIONS ?= halt_on_error=1:second_deadlock_stack=1
export ASAN_OPTIONS ?= detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS ?= halt_on_error=1:print_stacktrace=1
export RTSAN_OPTIONS ?= halt_on_error=1

.PHONY: all deps configure build test sanitizers demo bench clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD_DIR) --parallel $(JOBS)

# The JUCE-free DSP core's tests again under ThreadSanitizer, Address+UndefinedBehaviorSanitizer and
# RealtimeSanitizer (quick: no JUCE in these builds), then the whole suite.
sanitizers: deps
	@set -e; for entry in $(SANITIZED); do \
	    IFS=: read -r name flags cc cxx <<< "$$entry"; dir=$(BUILD_DIR)-$$name; \
	    CC=$$cc CXX=$$cxx cmake -S . -B $$dir -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAMBERSLOPE_BUILD_PLUGIN=OFF \
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
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-bench $(BUILD_DIR)-tsan $(BUILD_DIR)-asan $(BUILD_DIR)-rtsan
