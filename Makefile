BUILD_DIR ?= build
SAN_DIR   ?= build-sanitize
SAN_CLANG_DIR ?= build-sanitize-clang
FUZZ_DIR  ?= build-fuzz
FUZZ_TIME ?= 30
JOBS      ?= $(shell nproc)
CMAKE_FLAGS ?=
GCC_SANITIZERS   := address,undefined
CLANG_SANITIZERS := address,undefined,float-cast-overflow

.PHONY: deps configure build test bench compare-numpy run sanitize-test sanitize-test-clang \
        fuzz format format-check clean

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
	python3 bench/decimal_loop.py
	$(BUILD_DIR)/bench/velarion-window-bench

# Whole-process times of velarion-batch against the same model in NumPy.
compare-numpy: build
	scripts/install-deps python3-numpy hyperfine
	bench/compare_numpy.sh $(BUILD_DIR)/src/app/velarion-batch

run: build
	$(BUILD_DIR)/src/app/velarion

# $(call sanitized-tests,BUILD DIR,EXTRA CMAKE ARGUMENTS): the whole test
# suite built in Debug with the given sanitizers, then run.
define sanitized-tests
	cmake -S . -B $(1) -DCMAKE_BUILD_TYPE=Debug -DVELARION_BUILD_BENCH=OFF $(2) $(CMAKE_FLAGS)
	cmake --build $(1) -j $(JOBS)
	cd $(1) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=allocator_may_return_null=1 \
	      ctest --output-on-failure -j $(JOBS)
endef

# The whole test suite once more with AddressSanitizer and UBSan.
sanitize-test: deps
	$(call sanitized-tests,$(SAN_DIR),-DVELARION_SANITIZE=$(GCC_SANITIZERS))

# The same with clang, whose UBSan also checks float conversions that
# overflow (float-cast-overflow).
sanitize-test-clang: deps
	$(call sanitized-tests,$(SAN_CLANG_DIR), \
	      -DCMAKE_CXX_COMPILER=clang++ -DVELARION_SANITIZE=$(CLANG_SANITIZERS))

# The configuration loader and the number conversions under libFuzzer with
# AddressSanitizer and UBSan for FUZZ_TIME seconds. New inputs go to
# $(FUZZ_DIR)/corpus, a crashing input to $(FUZZ_DIR)/crash-*.
fuzz: deps
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	      -DVELARION_SANITIZE=address,undefined,fuzzer-no-link -DVELARION_BUILD_FUZZ=ON \
	      -DVELARION_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target config_fuzz
	mkdir -p $(FUZZ_DIR)/corpus
	$(FUZZ_DIR)/tests/config_fuzz -max_total_time=$(FUZZ_TIME) -artifact_prefix=$(FUZZ_DIR)/ \
	      $(FUZZ_DIR)/corpus tests/fuzz/seeds

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

# Fails on any file that clang-format would change.
format-check:
	clang-format --dry-run --Werror $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD_DIR) $(SAN_DIR) $(SAN_CLANG_DIR) $(FUZZ_DIR)
