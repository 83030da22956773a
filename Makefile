# The two everyday commands: `make play` and `make test`. Both install the
# Debian packages they need first, then build with CMake in $(BUILD).
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
MOD ?= $(BUILD)/demo.mod
PREFIX ?= /usr/local

.PHONY: all deps build play test clean

all: build

deps:
	@./scripts/install-deps.sh

$(BUILD)/Makefile: CMakeLists.txt
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/Makefile
	cmake --build $(BUILD) -j $(JOBS)

play: build
	$(BUILD)/zindle $(MOD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)
