# make test:    install what is missing, build, run every test headless.
# make run:     install what is missing, build, start Tarnbeck.
# make release: the build users and packagers make (warnings do not fail it).
# make asan:    every suite under AddressSanitizer and UBSan (build-asan/).
# make tsan:    every suite under ThreadSanitizer (build-tsan/).
# make fuzz:    every fuzz target for FUZZ_SECONDS (build-fuzz/, clang).
BUILD ?= build
JOBS ?= $(shell nproc)
# The tests and CI treat warnings as errors; see CMakeLists.txt.
CONFIG = -G Ninja -DTARNBECK_WERROR=ON
# Qt is not instrumented: what its own code does through intercepted calls
# (memmove, delete in its image threads) is as invisible to TSan as the rest
# of it, so it is not reported either; our code stays fully checked.
TSAN_OPTIONS_ALL = suppressions=$(CURDIR)/cmake/tsan.supp ignore_noninstrumented_modules=1 \
	second_deadlock_stack=1
ASAN_OPTIONS_ALL = detect_leaks=1:strict_string_checks=1:check_initialization_order=1
UBSAN_OPTIONS_ALL = print_stacktrace=1:halt_on_error=1

.PHONY: all setup configure build test run bench release asan tsan fuzz package screenshots clean

all: build

setup:
	@./scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD) $(CONFIG) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

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

release: setup
	@cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNBECK_TESTS=OFF \
		-DTARNBECK_BENCH=OFF >/dev/null
	@cmake --build build-release -j $(JOBS)

asan: setup
	@cmake -S . -B build-asan $(CONFIG) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNBECK_SANITIZE=ON \
		-DTARNBECK_BENCH=OFF >/dev/null
	@cmake --build build-asan -j $(JOBS)
	@cd build-asan && ASAN_OPTIONS=$(ASAN_OPTIONS_ALL) UBSAN_OPTIONS=$(UBSAN_OPTIONS_ALL) \
		ctest --output-on-failure -j $(JOBS)

tsan: setup
	@cmake -S . -B build-tsan $(CONFIG) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNBECK_TSAN=ON \
		-DTARNBECK_BENCH=OFF >/dev/null
	@cmake --build build-tsan -j $(JOBS)
	@cd build-tsan && TSAN_OPTIONS="$(TSAN_OPTIONS_ALL)" ctest --output-on-failure -j $(JOBS)

# Inputs that find a fault are kept in fuzz/regressions/, which `make test` replays.
FUZZ_SECONDS ?= 600
fuzz:
	@TARNBECK_EXTRA_PACKAGES="clang-14 libclang-rt-14-dev" ./scripts/setup.sh
	@CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DTARNBECK_FUZZ=ON -DTARNBECK_TESTS=OFF -DTARNBECK_BENCH=OFF >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target fuzz-ncdu-reader fuzz-scan-file fuzz-receipt-log
	@./fuzz/run.sh build-fuzz $(FUZZ_SECONDS)

clean:
	@rm -rf $(BUILD) build-release build-asan build-tsan build-fuzz
