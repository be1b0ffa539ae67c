# Folvan: `make run` installs, builds and starts the reader;
# `make test` installs, builds and runs every test; `make test-sanitize` does
# the same in a build of its own with AddressSanitizer and
# UndefinedBehaviorSanitizer, then feeds the fuzz target its seed corpus.
# `make check-clang` has clang check every file of src, tests, bench and fuzz
# (syntax only, in a tree of its own), so that what GCC takes and clang
# refuses does not wait for someone's clang build.
# WERROR=ON (as CI runs them) makes every compiler warning an error; off by
# default, so that a newer compiler's new warnings do not stop a user's build.

BUILD ?= build
SANITIZE_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
CLANG_BUILD ?= build-clang
JOBS ?= $(shell nproc)
PDF ?=
WERROR ?= OFF
WARNINGS = -DCMAKE_COMPILE_WARNING_AS_ERROR=$(WERROR)

.PHONY: all setup configure build run test test-sanitize check-clang bench clean

all: build

setup:
	bash scripts/setup.sh

# Configured every time (a few seconds, nothing rebuilt when nothing changed):
# the source lists are read from the folders at configure only.
configure:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(WARNINGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: setup build
	$(BUILD)/src/app/folvan $(if $(PDF),--pdf "$(PDF)")

test: setup build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 300

# An error fails the test that meets it. Leaks are not looked for, and the
# web engine's own size mismatches are left alone (also in tests/support/TestMain.cpp).
test-sanitize: setup
	cmake -S . -B $(SANITIZE_BUILD) -G Ninja \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo -DFOLVAN_SANITIZE=ON -DFOLVAN_BUILD_BENCH=OFF $(WARNINGS)
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0:new_delete_type_mismatch=0 \
		ctest --output-on-failure -j $(JOBS) --timeout 600
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo -DFOLVAN_BUILD_FUZZ=ON -DFOLVAN_BUILD_TESTS=OFF -DFOLVAN_BUILD_BENCH=OFF $(WARNINGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target folvan_fuzz_open
	ASAN_OPTIONS=fast_unwind_on_malloc=0 LSAN_OPTIONS=suppressions=$(CURDIR)/fuzz/lsan.supp \
		$(FUZZ_BUILD)/fuzz/folvan_fuzz_open -rss_limit_mb=4096 fuzz/corpus/*

# Errors fail it; clang's warnings are shown only.
check-clang: setup
	python3 scripts/check-clang.py --build $(CLANG_BUILD) --jobs $(JOBS)

bench: setup build
	$(BUILD)/bench/folvan-bench $(ARGS)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD) $(CLANG_BUILD)
