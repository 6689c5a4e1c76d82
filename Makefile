# Two entry points for a newcomer on a fresh Debian 12 machine:
#   make run        installs what is missing, builds, and starts Dotwright
#   make test       installs what is missing, builds, and runs every test
# and, for hardening work:
#   make test-asan  every test again under AddressSanitizer and UBSan
#   make fuzz       each fuzz target for FUZZ_SECONDS (default 60) with libFuzzer
# The other targets are steps these share.

PRESET ?= default
BUILD_DIR := build/$(PRESET)
JOBS ?= 2
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := fuzz_sprite_code fuzz_data_file fuzz_rle fuzz_picture_reader

.PHONY: run test test-asan fuzz deps build

run: build
	@$(BUILD_DIR)/src/app/dotwright

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# A sanitizer finding ends any process of the run with status 86, which no test
# expects, so a report is never mistaken for an expected failure (dotwright-cli
# keeps its standard error for its own one-line messages).
test-asan:
	ASAN_OPTIONS=exitcode=86:detect_leaks=1 UBSAN_OPTIONS=exitcode=86:print_stacktrace=1 \
	    $(MAKE) test PRESET=asan

fuzz:
	@scripts/install-deps fuzz
	cmake --preset fuzz
	cmake --build build/fuzz -j $(JOBS) --target $(FUZZ_TARGETS)
	scripts/run-fuzzers build/fuzz/fuzz $(FUZZ_SECONDS) $(FUZZ_TARGETS)

build: deps
	cmake --preset $(PRESET)
	cmake --build $(BUILD_DIR) -j $(JOBS)

deps:
	@scripts/install-deps
