# Folvan: `make run` installs, builds and starts the reader;
# `make test` installs, builds and runs every test.

BUILD ?= build
JOBS ?= $(shell nproc)
PDF ?=

.PHONY: all setup configure build run test bench clean

all: build

setup:
	bash scripts/setup.sh

configure:
	@if [ ! -f $(BUILD)/build.ninja ]; then cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo; fi

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: setup build
	$(BUILD)/src/app/folvan $(if $(PDF),--pdf "$(PDF)")

test: setup build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 300 --repeat until-pass:2

bench: setup build
	$(BUILD)/bench/folvan-bench $(ARGS)

clean:
	rm -rf $(BUILD)
