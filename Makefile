BUILD_DIR ?= build
SAN_DIR   ?= build-sanitize
JOBS      ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: deps configure build test bench run sanitize-test format clean

deps:
	scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: build
	$(BUILD_DIR)/bench/velarion-bench

run: build
	$(BUILD_DIR)/src/app/velarion

# The whole test suite once more with AddressSanitizer and UBSan.
sanitize-test: deps
	cmake -S . -B $(SAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DVELARION_SANITIZE=address,undefined \
	      -DVELARION_BUILD_BENCH=OFF
	cmake --build $(SAN_DIR) -j $(JOBS)
	cd $(SAN_DIR) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=allocator_may_return_null=1 ctest --output-on-failure -j $(JOBS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD_DIR) $(SAN_DIR)
