BUILD_DIR ?= build
SAN_DIR   ?= build-sanitize
SAN_CLANG_DIR ?= build-sanitize-clang
FUZZ_DIR  ?= build-fuzz
FUZZ_TIME ?= 30
JOBS      ?= $(shell nproc)
CMAKE_FLAGS ?=
GCC_SANITIZERS   := address,undefined
CLANG_SANITIZERS := address,undefined,float-cast-overflow

.PHONY: deps deps-dev configure build batch test bench-build bench compare-numpy run sanitize-test \
        sanitize-test-clang fuzz format format-check deb deb-check clean

# What building and `make test` need; deps-dev adds the developers' tools.
deps:
	scripts/install-deps

deps-dev:
	scripts/install-deps --dev

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

# The programs, the icons and the tests; the benchmarks only for make bench.
build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# velarion-batch and the libraries it links, nothing else.
batch: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target velarion-batch

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The benchmarks built, not run: CI builds them so that they keep compiling.
bench-build: deps-dev configure
	cmake -S . -B $(BUILD_DIR) -DVELARION_BUILD_BENCH=ON
	cmake --build $(BUILD_DIR) -j $(JOBS) --target velarion-bench velarion-window-bench \
	      velarion-startup-floor

bench: bench-build
	$(BUILD_DIR)/bench/velarion-bench
	python3 bench/decimal_loop.py
	$(BUILD_DIR)/bench/velarion-window-bench
	cmake --build $(BUILD_DIR) -j $(JOBS) --target _velarion velarion-batch
	/usr/bin/python3 bench/python_vs_batch.py $(BUILD_DIR)

# Whole-process times of velarion-batch against the same model in NumPy,
# the decimal run against Python's decimal, and velarion-batch's start-up
# against a program that links only QtCore and libgsf.
compare-numpy: deps-dev batch
	scripts/install-deps python3-numpy hyperfine
	cmake -S . -B $(BUILD_DIR) -DVELARION_BUILD_BENCH=ON
	cmake --build $(BUILD_DIR) -j $(JOBS) --target velarion-startup-floor
	bench/compare_numpy.sh $(BUILD_DIR)/src/app/velarion-batch $(BUILD_DIR)/bench/velarion-startup-floor

# The window and the libraries it links, nothing else. Without a display
# the program says so and exits with status 1, its only use of 1: the build
# succeeded all the same, so make does not add an error of its own.
run: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target velarion
	$(BUILD_DIR)/src/app/velarion || [ $$? -eq 1 ]

# $(call sanitized-tests,BUILD DIR,EXTRA CMAKE ARGUMENTS): the whole test
# suite built in Debug with the given sanitizers, then run.
define sanitized-tests
	cmake -S . -B $(1) -DCMAKE_BUILD_TYPE=Debug $(2) $(CMAKE_FLAGS)
	cmake --build $(1) -j $(JOBS)
	cd $(1) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=allocator_may_return_null=1 \
	      ctest --output-on-failure -j $(JOBS)
endef

# The whole test suite once more with AddressSanitizer and UBSan.
sanitize-test: deps-dev
	$(call sanitized-tests,$(SAN_DIR),-DVELARION_SANITIZE=$(GCC_SANITIZERS))

# The same with clang, whose UBSan also checks float conversions that
# overflow (float-cast-overflow).
sanitize-test-clang: deps-dev
	$(call sanitized-tests,$(SAN_CLANG_DIR), \
	      -DCMAKE_CXX_COMPILER=clang++ -DVELARION_SANITIZE=$(CLANG_SANITIZERS))

# The configuration loader and the number conversions under libFuzzer with
# AddressSanitizer and UBSan for FUZZ_TIME seconds. New inputs go to
# $(FUZZ_DIR)/corpus, a crashing input to $(FUZZ_DIR)/crash-*.
fuzz: deps-dev
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	      -DVELARION_SANITIZE=address,undefined,fuzzer-no-link -DVELARION_BUILD_FUZZ=ON \
	      $(CMAKE_FLAGS)
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target config_fuzz
	mkdir -p $(FUZZ_DIR)/corpus
	$(FUZZ_DIR)/tests/config_fuzz -max_total_time=$(FUZZ_TIME) -artifact_prefix=$(FUZZ_DIR)/ \
	      $(FUZZ_DIR)/corpus tests/fuzz/seeds

format: deps-dev
	clang-format -i $$(git ls-files '*.cpp' '*.h')

# Fails on any file that clang-format would change.
format-check: deps-dev
	clang-format --dry-run --Werror $$(git ls-files '*.cpp' '*.h')

# The Debian package $(BUILD_DIR)/velarion_<version>_<arch>.deb: what the
# install rules lay out under /usr, its Depends found by dpkg-shlibdeps.
# Builds the programs and the icons, not the tests.
deb: configure
	scripts/install-deps dpkg-dev file
	cmake --build $(BUILD_DIR) -j $(JOBS) --target velarion velarion-batch velarion_icons _velarion
	cd $(BUILD_DIR) && cpack -G DEB

# Installs the package, runs it from PATH, validates its desktop entry and
# AppStream data, and removes it again.
deb-check: deps-dev deb
	scripts/deb-check $(BUILD_DIR)/velarion_$$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' \
	      $(BUILD_DIR)/CMakeCache.txt)_*.deb

clean:
	rm -rf $(BUILD_DIR) $(SAN_DIR) $(SAN_CLANG_DIR) $(FUZZ_DIR)
