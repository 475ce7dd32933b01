# Amberslope — two commands from a fresh Debian 12 machine:
#   make demo   install what is missing, build the plug-in and the host tool, show what a host sees
#   make test   install what is missing, build everything and run the whole test suite
BUILD_DIR ?= build
BUILD_TYPE ?= Release
JOBS ?= $(shell nproc)
CMAKE_ARGS ?=

HOST := $(BUILD_DIR)/tools/amberslope-host

.PHONY: all deps configure build test demo bench clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD_DIR) --parallel $(JOBS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure --parallel $(JOBS)

demo: build
	$(HOST) info

bench: deps
	cmake -S . -B $(BUILD_DIR)-bench -DCMAKE_BUILD_TYPE=Release -DAMBERSLOPE_BUILD_PLUGIN=OFF \
	    -DAMBERSLOPE_BUILD_TESTS=OFF -DAMBERSLOPE_BUILD_BENCHMARKS=ON
	cmake --build $(BUILD_DIR)-bench --parallel $(JOBS)
	$(BUILD_DIR)-bench/bench/amberslope_bench

clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-bench
