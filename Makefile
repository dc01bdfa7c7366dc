# The whole set-up on a fresh Debian 12 machine is one of these:
#   make run    install what is missing, build, start Bootline
#   make test   install what is missing, build, run every test headless
# make check is make test with the sanitizers on, and then what CI adds (package, fuzz
# corpora, clang-tidy, the Windows compile).
BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
BENCH_DIR ?= build-bench
FUZZ_SECONDS ?= 60
# One compile a core: more only swaps memory for nothing.
JOBS ?= $(shell nproc)
# The end-to-end tests spend their minute waiting on real timers and the
# simulator (a few seconds of CPU among them all), so they run side by side
# instead of two at a time behind each other.
TEST_JOBS ?= 8
# SANITIZE=ON builds the tree with AddressSanitizer and UBSan, and any finding fails a test.
SANITIZE ?= OFF
TEST_ENV = QT_QPA_PLATFORM=offscreen
ifeq ($(SANITIZE),ON)
TEST_ENV += ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1 \
            LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
            UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
endif

.PHONY: run test unit check build programs deps clean soak package check-package sanitize \
        fuzz-replay fuzz tidy bench windows-check

run: build
	scripts/run.sh $(BUILD_DIR)

test: build
	cd $(BUILD_DIR) && $(TEST_ENV) ctest --output-on-failure --parallel $(TEST_JOBS)

# The loop while changing code: the unit tests alone (CTest label unit),
# built and run in about a minute after a small change. `make test` before a
# commit; `make check` before a push.
unit:
	@test -f $(BUILD_DIR)/CMakeCache.txt || \
	    cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_DIR) --parallel $(JOBS) --target unit-tests
	cd $(BUILD_DIR) && $(TEST_ENV) ctest --output-on-failure --parallel $(JOBS) -L unit

# Everything CI runs: the suite once, on the sanitized tree, then the .deb from the plain tree
# (which builds the programs alone), the fuzz corpora, clang-tidy and the Windows compile.
check: sanitize
	$(MAKE) --no-print-directory check-package fuzz-replay tidy windows-check

# The .deb built, checked with lintian, installed, started and removed again.
check-package: programs
	scripts/check-package.sh $(BUILD_DIR)

# make test in a tree of its own, built with AddressSanitizer and UBSan.
sanitize:
	$(MAKE) --no-print-directory test BUILD_DIR=$(SANITIZE_DIR) SANITIZE=ON

# The fuzz targets over their seed corpus (fast), or for FUZZ_SECONDS each, keeping new finds.
fuzz-replay: deps
	scripts/fuzz.sh replay

fuzz: deps
	scripts/fuzz.sh run $(FUZZ_SECONDS)

# clang-tidy over src/, tools/ and bench/ with the checks in .clang-tidy.
tidy: programs
	scripts/tidy.sh $(BUILD_DIR)

# Whether every source of the programs compiles for Windows: MinGW-w64 (installed when missing)
# against Qt's headers, syntax only. Nothing is linked or run.
windows-check:
	JOBS=$(JOBS) scripts/windows-check.sh

# The programs and the test suite; bootline-soak and bootline-bench only on demand.
build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBOOTLINE_SANITIZE=$(SANITIZE)
	cmake --build $(BUILD_DIR) --parallel $(JOBS)

# The plain tree with what the package holds and nothing else: the programs and their pages.
programs: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBOOTLINE_SANITIZE=OFF
	cmake --build $(BUILD_DIR) --parallel $(JOBS) --target packaged

# Whole jobs on a faulty line, for minutes: SOAK_LINES lines in all (default 20000).
soak: build
	cmake --build $(BUILD_DIR) --parallel $(JOBS) --target bootline-soak
	$(BUILD_DIR)/tests/bootline-soak --lines $(or $(SOAK_LINES),20000)

# Speed against bootline-sim, in a release build of its own: a table, then
# bench/results.md and bench/speed.png. About 30 minutes; BENCH_OPTIONS=--help
# tells how to time other sizes.
bench: deps
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BENCH_DIR) --parallel $(JOBS) --target bootline-bench
	$(BENCH_DIR)/bin/bootline-bench $(BENCH_OPTIONS)

# The .deb, in the build folder.
package: build
	cmake --build $(BUILD_DIR) --target package

deps:
	scripts/install-deps.sh

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(BENCH_DIR) build-fuzz
