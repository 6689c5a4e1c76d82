# Two entry points for a newcomer on a fresh Debian 12 machine:
#   make run    installs what is missing, builds, and starts Dotwright
#   make test   installs what is missing, builds, and runs every test
# The other targets are steps these two share.

PRESET ?= default
BUILD_DIR := build/$(PRESET)
JOBS ?= 2

.PHONY: run test deps build

run: build
	@$(BUILD_DIR)/src/app/dotwright

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

build: deps
	cmake --preset $(PRESET)
	cmake --build $(BUILD_DIR) -j $(JOBS)

deps:
	@scripts/install-deps
