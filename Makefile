# The whole set-up on a fresh Debian 12 machine is one of these:
#   make run    install what is missing, build, start Bootline
#   make test   install what is missing, build, run every test headless
BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
BENCH_DIR ?= build-bench
FUZZ_SECONDS ?= 60

.PHONY: run test build deps clean soak package sanitize fuzz-replay fuzz tidy bench

run: build
	scripts/run.sh $(BUILD_DIR)

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel 2
	scripts/check-package.sh $(BUILD_DIR)
	$(MAKE) --no-print-directory sanitize fuzz-replay tidy

# The same suite built with AddressSanitizer and UBSan; any finding fails it.
sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBOOTLINE_SANITIZE=ON
	cmake --build $(SANITIZE_DIR) --parallel 2
	cd $(SANITIZE_DIR) && QT_QPA_PLATFORM=offscreen \
	    ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1 \
	    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	    ctest --output-on-failure --parallel 2

# The fuzz targets over their seed corpus (fast), or for FUZZ_SECONDS each, keeping new finds.
fuzz-replay: deps
	scripts/fuzz.sh replay

fuzz: deps
	scripts/fuzz.sh run $(FUZZ_SECONDS)

# clang-tidy over src/, tools/ and bench/ with the checks in .clang-tidy.
tidy: build
	scripts/tidy.sh $(BUILD_DIR)

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_DIR) --parallel

# Whole jobs on a faulty line, for minutes: SOAK_LINES lines in all (default 20000).
soak: build
	$(BUILD_DIR)/tests/bootline-soak --lines $(or $(SOAK_LINES),20000)

# Speed against bootline-sim, in a release build of its own: a table, then
# bench/results.md and bench/speed.png. About 30 minutes; BENCH_OPTIONS=--help
# tells how to time other sizes.
bench: deps
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BENCH_DIR) --parallel 2 --target bootline-bench
	$(BENCH_DIR)/bin/bootline-bench $(BENCH_OPTIONS)

# The .deb, in the build folder.
package: build
	cmake --build $(BUILD_DIR) --target package

deps:
	scripts/install-deps.sh

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(BENCH_DIR) build-fuzz
