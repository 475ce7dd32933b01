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
# Readable stack traces in sanitizer reports, where LLVM's symbolizer is installed.
export ASAN_SYMBOLIZER_PATH ?= $(wildcard /usr/lib/llvm-22/bin/llvm-symbolizer)

FUZZ_SECONDS ?= 60

.PHONY: all deps configure build test sanitizers fuzz test-plugin-asan demo bench clean

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

# The editor and plug-in tests with Address+UndefinedBehaviorSanitizer over JUCE as well. JUCE takes
# a quarter of an hour to build this way on two cores, so this is not part of `make test`.
test-plugin-asan: deps
	cmake -S . -B $(BUILD_DIR)-plugin-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DAMBERSLOPE_SANITIZERS=address,undefined $(CMAKE_ARGS)
	cmake --build $(BUILD_DIR)-plugin-asan --target amberslope_plugin_tests --parallel $(JOBS)
	$(BUILD_DIR)-plugin-asan/tests/amberslope_plugin_tests --gtest_filter='Editor*:VintageLook*:PluginState*'

# The state restore check under libFuzzer with ASan and UBSan, for FUZZ_SECONDS (make fuzz FUZZ_SECONDS=3600).
fuzz: deps
	CC=clang-22 CXX=clang++-22 cmake -S . -B $(BUILD_DIR)-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DAMBERSLOPE_BUILD_PLUGIN=OFF -DAMBERSLOPE_BUILD_TESTS=OFF -DAMBERSLOPE_BUILD_FUZZERS=ON \
	    -DAMBERSLOPE_FUZZ_SECONDS=$(FUZZ_SECONDS) $(CMAKE_ARGS)
	cmake --build $(BUILD_DIR)-fuzz --parallel $(JOBS)
	cd $(BUILD_DIR)-fuzz && ctest --output-on-failure -L fuzz

test: build sanitizers fuzz
	cd $(BUILD_DIR) && ctest --output-on-failure --parallel $(JOBS)

DEMO_DIR := $(BUILD_DIR)/demo
ARTEFACTS := $(BUILD_DIR)/Amberslope_artefacts/$(BUILD_TYPE)

# Everything built, then: what a host sees, a drum loop through the 60 Hz boost-and-cut trick with a
# little air on top (through the VST3), the classic curve families measured through the VST3, and the
# editor's picture. Headless: needs no display and no sound card.
demo: build
	$(HOST) info
	$(HOST) render --signal drums --seconds 8 --out $(DEMO_DIR)/drums-dry.wav --set eqIn=off
	$(HOST) render --signal drums --seconds 8 --out $(DEMO_DIR)/drums-amberslope.wav \
	    --set lowFrequency=60 --set lowBoost=6 --set lowAtten=4 \
	    --set highBoostFrequency=12 --set highBoost=4 --set highBandwidth=6 --set outputGain=-6
	$(HOST) response --family all --out $(DEMO_DIR)/curves
	$(HOST) picture --out $(DEMO_DIR)/editor.png --set lowBoost=6 --set lowAtten=4 --set highBoost=4 \
	    --set highBoostFrequency=12 --set highBandwidth=6 --set outputGain=-6
	@echo
	@echo "Amberslope demo"
	@echo "  Plug-ins:       $(ARTEFACTS)/VST3/Amberslope.vst3"
	@echo "                  $(ARTEFACTS)/LV2/Amberslope.lv2"
	@echo "  Application:    $(ARTEFACTS)/Standalone/Amberslope"
	@echo "  Demo audio:     $(DEMO_DIR)/drums-dry.wav (EQ out), $(DEMO_DIR)/drums-amberslope.wav"
	@echo "  Curve families: $(DEMO_DIR)/curves/*.png (the numbers in the .csv beside each)"
	@echo "  Editor picture: $(DEMO_DIR)/editor.png"

# Benchmarks are not tests: run them by hand on a quiet machine.
bench: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DAMBERSLOPE_BUILD_BENCHMARKS=ON $(CMAKE_ARGS)
	cmake --build $(BUILD_DIR) --parallel $(JOBS)
	$(BUILD_DIR)/bench/amberslope_bench
	$(BUILD_DIR)/bench/amberslope_plugin_bench

clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-bench $(BUILD_DIR)-tsan $(BUILD_DIR)-asan $(BUILD_DIR)-rtsan $(BUILD_DIR)-fuzz $(BUILD_DIR)-plugin-asan
