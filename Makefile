# Quenvor: `make run` builds and starts the program, `make test` builds with the
# sanitizers and runs every test. Both install missing Debian packages first: `make run` only what
# building and running the program needs, `make test` also what the tests use
# (scripts/install-deps.sh says which).
# `make test-windows` cross-builds the core and quenvor.exe for Windows and runs their tests under
# Wine; `make run-windows` starts quenvor.exe under Wine.
# `make package` builds the Debian package; `make format-check`, `make lint` and
# `make test-clang` are the other steps CI runs (.ci/run).
BUILD      ?= build
TEST_BUILD ?= build-test
JOBS       ?= $(shell nproc)
# CI turns warnings into errors.
WERROR     ?= $(if $(CI),ON,OFF)

.PHONY: all deps deps-test build run test test-windows run-windows package-windows test-clang package bench bench-build bench-full bench-cleaning bench-wipe-free clean format format-check lint

all: build

deps:
	@./scripts/install-deps.sh run

deps-test:
	@./scripts/install-deps.sh test

# The program alone: its tests are `make test`'s, in a build of their own.
build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUENVOR_BUILD_TESTS=OFF -DQUENVOR_WERROR=$(WERROR) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/src/app/quenvor

test: deps-test
	@cmake -S . -B $(TEST_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUENVOR_SANITIZE=ON -DQUENVOR_WERROR=$(WERROR) >/dev/null
	@cmake --build $(TEST_BUILD) -j $(JOBS)
	cd $(TEST_BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The Qt-free core and its tests built by clang, which warns where GCC does not.
CLANG_BUILD ?= build-clang
test-clang: deps-test
	@cmake -S . -B $(CLANG_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DQUENVOR_BUILD_WINDOW=OFF -DQUENVOR_WERROR=$(WERROR) >/dev/null
	@cmake --build $(CLANG_BUILD) -j $(JOBS)
	cd $(CLANG_BUILD) && ctest --output-on-failure -j $(JOBS)

# The Qt-free core and its tests cross-built for 64-bit Windows (mingw-w64) and run under Wine,
# headless, in a Wine prefix of the build folder. The Wine server is started before ctest and
# stopped after it, whatever the outcome.
WIN_BUILD ?= build-windows
WIN_DEPS   = $(CURDIR)/$(WIN_BUILD)/deps
WIN_WINE   = $(CURDIR)/cmake/wine-run.sh --prefix $(CURDIR)/$(WIN_BUILD)/core/wine
test-windows:
	@./scripts/install-windows-deps.sh $(WIN_DEPS) $(CURDIR)/cmake/mingw-w64-x86_64.cmake
	@cmake -S . -B $(WIN_BUILD)/core -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake \
	  -DQUENVOR_WINDOWS_DEPS=$(WIN_DEPS) -DCMAKE_BUILD_TYPE=Debug -DQUENVOR_WERROR=$(WERROR) >/dev/null
	@$(WIN_WINE) --start
	@cmake --build $(WIN_BUILD)/core -j $(JOBS) || { $(WIN_WINE) --stop; exit 1; }
	@cd $(WIN_BUILD)/core && ctest --output-on-failure -j $(JOBS); rc=$$?; $(WIN_WINE) --stop; exit $$rc

# quenvor.exe under Wine, on the desktop's display (or a virtual one, headless), in a Wine
# prefix of its own so the tests' prefix stays as the tests left it.
run-windows:
	@./scripts/install-windows-deps.sh $(WIN_DEPS) $(CURDIR)/cmake/mingw-w64-x86_64.cmake
	@cmake -S . -B $(WIN_BUILD)/core -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake \
	  -DQUENVOR_WINDOWS_DEPS=$(WIN_DEPS) -DCMAKE_BUILD_TYPE=Debug -DQUENVOR_WERROR=$(WERROR) >/dev/null
	@$(WIN_WINE) --start
	@cmake --build $(WIN_BUILD)/core -j $(JOBS) --target quenvor; rc=$$?; $(WIN_WINE) --stop; exit $$rc
	./scripts/wine-gui.sh --prefix $(CURDIR)/$(WIN_BUILD)/run $(WIN_BUILD)/core/src/app/quenvor.exe

# The Windows downloads: $(WIN_BUILD)/core/quenvor-<version>-windows-x64.zip (quenvor.exe with
# help\quenvor.htm beside it) and quenvor-<version>-setup.exe, a per-user installer (makensis).
package-windows:
	@./scripts/install-windows-deps.sh $(WIN_DEPS) $(CURDIR)/cmake/mingw-w64-x86_64.cmake
	@cmake -S . -B $(WIN_BUILD)/core -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake \
	  -DQUENVOR_WINDOWS_DEPS=$(WIN_DEPS) -DCMAKE_BUILD_TYPE=Debug -DQUENVOR_WERROR=$(WERROR) >/dev/null
	@$(WIN_WINE) --start
	@cmake --build $(WIN_BUILD)/core -j $(JOBS) --target quenvor quenvor-cli; rc=$$?; $(WIN_WINE) --stop; exit $$rc
	@./scripts/package-windows.sh $(WIN_BUILD)/core $$(sed -n 's/^project(Quenvor VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

# A Debian package of the release build, its dependencies read by dpkg-shlibdeps:
# $(BUILD)/quenvor_<version>_<arch>.deb.
package: build
	@./scripts/install-deps.sh package
	@cmake --build $(BUILD) --target package

BENCH_BUILD ?= build-bench
bench-build: deps-test
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DQUENVOR_BUILD_TESTS=OFF -DQUENVOR_BUILD_WINDOW=ON -DQUENVOR_BUILD_BENCH=ON >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS) --target quenvor_bench quenvor_bench_cleaning quenvor_wipe_free

# Our engine and walk against coreutils shred and find, in one run (a quarter of an hour on a busy disk).
bench: bench-build
	./$(BENCH_BUILD)/bench/quenvor_bench

bench-full: bench-build
	./$(BENCH_BUILD)/bench/quenvor_bench --full

# The page's lists and a cleaning run on a large made-up Firefox profile, against rm -rf and
# one DELETE per table (about a minute).
bench-cleaning: bench-build
	./$(BENCH_BUILD)/bench/quenvor_bench_cleaning

# The free-space wipe of a 2 GiB ext4 image holding deleted files, against dd and sfill (root;
# about five minutes).
bench-wipe-free: bench-build
	bench/wipe-free.sh ./$(BENCH_BUILD)/bench/quenvor_wipe_free 2048

clean:
	rm -rf $(BUILD) $(TEST_BUILD) $(BENCH_BUILD) $(CLANG_BUILD) $(LINT_BUILD) $(WIN_BUILD)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check: deps-test
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

# clang-tidy (.clang-tidy) over src/ and tests/ with the flags of a configured build. The one
# generated header the sources include, text/TextIds.h, comes from a small tool built first; the
# Qt window tests include their own moc output, generated alone (/fast: without building the
# libraries the moc step otherwise waits for). TIDY_CHECKS adds checks for one run. The colours
# run-clang-tidy always asks for are taken out, for logs.
LINT_BUILD  ?= build-lint
TIDY_CHECKS ?=
lint: deps-test
	@cmake -S . -B $(LINT_BUILD) -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(LINT_BUILD) -j $(JOBS) --target quenvor_text_ids_header >/dev/null
	@for t in quenvor_window_tests quenvor_detailsbox_tests quenvor_qtdesktop_tests; do \
	  if [ -f $(LINT_BUILD)/tests/CMakeFiles/$${t}_autogen.dir/build.make ]; then \
	    cmake --build $(LINT_BUILD) --target $${t}_autogen/fast >/dev/null; fi; done
	@bash -o pipefail -c "run-clang-tidy -p $(LINT_BUILD) -quiet -j $(JOBS) -header-filter='^$(CURDIR)/(src|tests)/' \
	  $(if $(TIDY_CHECKS),-checks='$(TIDY_CHECKS)') '^$(CURDIR)/(src|tests)/' 2>&1 | sed -r 's/\x1b\[[0-9;]*m//g; /^[0-9]+ warnings generated\.$$/d'"
