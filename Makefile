# make test: install what is missing, build, run every test headless.
# make run:  install what is missing, build, start Tarnbeck.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all setup configure build test run bench clean package screenshots

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

# make package:     a .deb of the installed program (CPack) in $(BUILD).
package: build
	@cd $(BUILD) && cpack -G DEB

# make screenshots: every tab and view, rendered headless, in $(BUILD)/screenshots.
screenshots: build
	@QT_QPA_PLATFORM=offscreen ./$(BUILD)/src/app/tarnbeck_screenshots $(BUILD)/screenshots

clean:
	@rm -rf $(BUILD)
