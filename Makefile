BUILD_DIR ?= build
SAN_DIR   ?= build-sanitize
FUZZ_DIR  ?= build-fuzz
FUZZ_TIME ?= 30
JOBS      ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: deps configure build test bench compare-numpy run sanitize-test fuzz format clean

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
	$(BUILD_DIR)/bench/velarion-window-bench

# Whole-process times of velarion-batch against the same model in NumPy.
compare-numpy: build
	scripts/install-deps python3-numpy hyperfine
	bench/compare_numpy.sh $(BUILD_DIR)/src/app/velarion-batch

run: build
	$(BUILD_DIR)/src/app/velarion

# The whole test suite once more with AddressSanitizer and UBSan.
sanitize-test: deps
	cmake -S . -B $(SAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DVELARION_SANITIZE=address,undefined \
	      -DVELARION_BUILD_BENCH=OFF
	cmake --build $(SAN_DIR) -j $(JOBS)
	cd $(SAN_DIR) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=allocator_may_return_null=1 ctest --output-on-failure -j $(JOBS)

# The configuration loader and the number conversions under libFuzzer with
# AddressSanitizer and UBSan for FUZZ_TIME seconds. New inputs go to
# $(FUZZ_DIR)/corpus, a crashing input to $(FUZZ_DIR)/crash-*.
fuzz: deps
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	      -DVELARION_SANITIZE=address,undefined,fuzzer-no-link -DVELARION_BUILD_FUZZ=ON \
	      -DVELARION_BUILD_BENCH=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target config_fuzz
	mkdir -p $(FUZZ_DIR)/corpus
	$(FUZZ_DIR)/tests/config_fuzz -max_total_time=$(FUZZ_TIME) -artifact_prefix=$(FUZZ_DIR)/ \
	      $(FUZZ_DIR)/corpus tests/fuzz/seeds

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD_DIR) $(SAN_DIR) $(FUZZ_DIR)
