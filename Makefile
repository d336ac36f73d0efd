# Quenvor: `make run` builds and starts the program, `make test` builds with the
# sanitizers and runs every test. Both install missing Debian packages first.
BUILD      ?= build
TEST_BUILD ?= build-test
JOBS       ?= $(shell nproc)
# CI turns warnings into errors.
WERROR     ?= $(if $(CI),ON,OFF)

.PHONY: all deps build run test bench clean format

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

clean:
	rm -rf $(BUILD) $(TEST_BUILD)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i
