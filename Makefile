# Set-up and everyday commands. `make run` and `make test` work on a fresh machine: they install
# what is missing first.

BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
DEBIAN_PACKAGES := libicu-dev nlohmann-json3-dev libcli11-dev googletest libgtest-dev \
	libbenchmark-dev libcpp-httplib-dev zlib1g-dev pkg-config cmake g++ make
CMAKE_FLAGS ?=

.PHONY: all deps build run test test-sanitize test-screenshot test-tsan clean

all: build

deps:
	@./scripts/install-deps.sh $(DEBIAN_PACKAGES)

$(BUILD_DIR)/CMakeCache.txt:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	./$(BUILD_DIR)/tessary-code build

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# Address and undefined-behaviour sanitizers over the whole test suite.
test-sanitize: deps
	cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DTESSARY_SANITIZE=address,undefined
	cmake --build build-sanitize -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --test-dir build-sanitize --output-on-failure -j $(JOBS)

# Thread sanitizer over the tests of the concurrent code (test names with Queue, Throttle, Async or
# Concurrency in them) and the playground's event hub and session.
test-tsan: deps
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DTESSARY_SANITIZE=thread
	cmake --build build-tsan -j $(JOBS)
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
		ctest --test-dir build-tsan --output-on-failure -j $(JOBS) -R 'Queue|Throttle|Concurrency|Async|EventHub|PlaygroundSession'

# libFuzzer over the effect-file loader, the edit analysis, the highlighter, the project's patterns
# and the code importer, FUZZ_SECONDS each, from the seed corpora in fuzz/corpus; a crash fails the run and is
# kept in build-fuzz/crashes. Clang 16: the standard library's source_location needs it.
FUZZ_SECONDS ?= 60
FUZZ_PACKAGES := clang-16 libclang-rt-16-dev llvm-16
FUZZ_TARGETS := effect_file_fuzzer code_analyzer_fuzzer swift_highlighter_fuzzer \
	regular_expression_fuzzer code_importer_fuzzer
.PHONY: fuzz fuzz-ci
fuzz: deps
	@./scripts/install-deps.sh $(FUZZ_PACKAGES)
	cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-16 \
		-DTESSARY_BUILD_TESTS=OFF -DTESSARY_BUILD_FUZZ=ON \
		-DTESSARY_SANITIZE=fuzzer-no-link,address,undefined
	cmake --build build-fuzz -j $(JOBS) --target $(FUZZ_TARGETS)
	./fuzz/run.sh build-fuzz $(FUZZ_SECONDS) $(FUZZ_TARGETS)

fuzz-ci:
	$(MAKE) fuzz FUZZ_SECONDS=20

# The playground in a real browser (Debian's Chromium through playwright-core); screenshots in
# $(BUILD_DIR)/e2e. Skips with a message where the browser cannot be installed.
.PHONY: test-e2e
test-e2e: build
	tests/e2e/run.sh $(BUILD_DIR)/tessary-code $(BUILD_DIR)/e2e

# The playground's speed in a real browser (tests/e2e/bench.mjs): Release builds of the program and
# the effect generator in $(BENCH_DIR), Debian's Chromium and playwright-core as test-e2e has
# them. Prints a table of medians with each goal met or missed; a missed goal fails the target.
.PHONY: bench-e2e
bench-e2e: deps
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" \
		-DTESSARY_BUILD_BENCH=ON -DTESSARY_BUILD_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(BENCH_DIR) -j $(JOBS) --target tessary-generate-effect tessary-code
	tests/e2e/run.sh $(BENCH_DIR)/tessary-code $(BENCH_DIR)/e2e \
		--bench $(BENCH_DIR)/bench/tessary-generate-effect

# Benchmarks and the speed goals, built in Release into their own folder $(BENCH_DIR)
# (bench/tessary-bench), so the everyday build keeps its type. -O2 rather than -O3: GCC 12 warns
# falsely about string copies at -O3, and warnings are errors. Repetitions in random order, judged
# by their medians, keep a busy machine from deciding: nine, as on a shared machine a stretch of
# a second or two can run a large effect's build 40 % slower, which five repetitions could not
# outvote. A missed goal fails the target.
# BENCH_BASE=results.json of an earlier revision also checks that no benchmark got slower.
BENCH_DIR ?= build-bench
.PHONY: bench
bench: deps
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" \
		-DTESSARY_BUILD_BENCH=ON -DTESSARY_BUILD_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(BENCH_DIR) -j $(JOBS) --target tessary-bench tessary-generate-effect tessary-code \
		tessary-peak-memory
	./$(BENCH_DIR)/bench/tessary-bench --benchmark_repetitions=9 \
		--benchmark_enable_random_interleaving=true \
		--benchmark_out=$(BENCH_DIR)/bench/results.json --benchmark_out_format=json
	python3 bench/goals.py $(BENCH_DIR)/bench/results.json \
		--peak-memory $(BENCH_DIR)/bench/tessary-peak-memory $(if $(BENCH_BASE),--base $(BENCH_BASE))

# The demo snippet as HTML in headless Chromium (installed when missing): the picture must show
# the snippet's colours. The screenshot stays in build/screenshots/.
test-screenshot: build
	./tests/screenshot/check_demo_colours.sh $(BUILD_DIR)/tessary-code

clean:
	rm -rf $(BUILD_DIR) $(BENCH_DIR) build-sanitize build-tsan build-fuzz
