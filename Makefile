# The whole set-up on a fresh Debian 12 machine is one of these:
#   make run    install what is missing, build, start Bootline
#   make test   install what is missing, build, run every test headless
BUILD_DIR ?= build

.PHONY: run test build deps clean soak package

run: build
	scripts/run.sh $(BUILD_DIR)

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel 2
	scripts/check-package.sh $(BUILD_DIR)

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_DIR) --parallel

# Whole jobs on a faulty line, for minutes: SOAK_LINES lines in all (default 20000).
soak: build
	$(BUILD_DIR)/tests/bootline-soak --lines $(or $(SOAK_LINES),20000)

# The .deb, in the build folder.
package: build
	cmake --build $(BUILD_DIR) --target package

deps:
	scripts/install-deps.sh

clean:
	rm -rf $(BUILD_DIR)
