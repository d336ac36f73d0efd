# Quenvor: `make run` builds and starts the program, `make test` builds with the
# sanitizers and runs every test. Both install missing Debian packages first.
BUILD      ?= build
TEST_BUILD ?= build-test
JOBS       ?= $(shell nproc)
# CI turns warnings into errors.
WERROR     ?= $(if $(CI),ON,OFF)

.PHONY: all deps build run test bench bench-full clean format

all: build

deps:
	@./scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUENVOR_WERROR=$(WERROR) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/src/app/quenvor

test: deps
	@cmake -S . -B $(TEST_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUENVOR_SANITIZE=ON -DQUENVOR_WERROR=$(WERROR) >/dev/null
	@cmake --build $(TEST_BUILD) -j $(JOBS)
	cd $(TEST_BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

BENCH_BUILD ?= build-bench
bench-build: deps
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DQUENVOR_BUILD_TESTS=OFF -DQUENVOR_BUILD_WINDOW=OFF -DQUENVOR_BUILD_BENCH=ON >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS) --target quenvor_bench

# Our engine and walk against coreutils shred and find, in one run (about 5 minutes).
bench: bench-build
	./$(BENCH_BUILD)/bench/quenvor_bench

bench-full: bench-build
	./$(BENCH_BUILD)/bench/quenvor_bench --full

clean:
	rm -rf $(BUILD) $(TEST_BUILD) $(BENCH_BUILD)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i
