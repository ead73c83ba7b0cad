# Thin wrapper around CMake. `make run` and `make test` are the two commands a
# fresh Debian 12 machine needs: both install the system packages first.
BUILD_DIR ?= build
JOBS      ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build test test-sanitize check-format run bench package format clean

all: build

deps:
	@bash scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && dbus-run-session -- ctest --output-on-failure -j $(JOBS)

# The whole suite once more, built with AddressSanitizer and UndefinedBehaviorSanitizer.
# Leak checking stays off: OpenSSL's per-thread error state, held by engine threads
# that are still alive when a test process exits, is reported now and then as a leak.
test-sanitize:
	@ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
	  $(MAKE) --no-print-directory test BUILD_DIR=build-sanitize CMAKE_FLAGS="$(CMAKE_FLAGS) -DTREVALIN_SANITIZE=ON"

check-format: deps
	@bash scripts/check-format

run: build
	@bash scripts/run-program $(BUILD_DIR)

bench: build
	@bash bench/run-benchmarks $(BUILD_DIR)

# The Debian package build/trevalin_<version>_amd64.deb, from the install rules, checked.
package: build
	cd $(BUILD_DIR) && rm -f trevalin_*_amd64.deb && cpack -G DEB
	@bash scripts/check-package $(BUILD_DIR)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR)
