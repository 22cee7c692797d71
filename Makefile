# make test: install what is missing, build, run every test headless.
# make run:  install what is missing, build, start Tarnbeck.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all setup configure build test run bench clean

all: build

setup:
	@./scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

run: build
	@./$(BUILD)/src/app/tarnbeck

bench: build
	@./bench/scan_bench.sh

clean:
	@rm -rf $(BUILD)
