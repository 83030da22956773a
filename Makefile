# The two everyday commands: `make play` and `make test`. Both install the
# Debian packages they need first, then build with CMake in $(BUILD).
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
MOD ?= $(BUILD)/demo.mod
PREFIX ?= /usr/local

.PHONY: all deps build play test install package clean bench-deps bench bench-peers bench-callgrind fuzz

all: build

deps:
	@./scripts/install-deps.sh

$(BUILD)/Makefile: CMakeLists.txt
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/Makefile
	cmake --build $(BUILD) -j $(JOBS)

# Builds only the player and the demo module, then plays MOD, quoted for the
# shell whatever its name holds.
play: deps $(BUILD)/Makefile
	cmake --build $(BUILD) -j $(JOBS) --target zindle demo_module
	$(BUILD)/zindle '$(subst ','\'',$(MOD))'

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# `make install PREFIX=...` (DESTDIR is honoured too) and `make package`,
# which writes the Debian package $(BUILD)/zindle_<version>_<arch>.deb.
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

package: build
	cd $(BUILD) && cpack -G DEB

# Benchmarks, in their own Release build folder: `make bench` (Google
# Benchmark), `make bench-peers` (against libxmp, libopenmpt, libmikmod),
# `make bench-callgrind` (instruction counts).
BENCH_BUILD ?= build-bench

bench-deps:
	@./scripts/install-deps.sh libbenchmark-dev

bench: deps bench-deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DZINDLE_BENCH=ON -DBUILD_TESTING=OFF
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	$(BENCH_BUILD)/bench/zindle-bench

bench-peers: deps
	JOBS=$(JOBS) ./bench/peers.sh $(BENCH_BUILD)

bench-callgrind: deps
	JOBS=$(JOBS) ./bench/callgrind.sh $(BENCH_BUILD)

clean:
	rm -rf $(BUILD)

# Fuzzing (clang, ASan and UBSan) in its own build folder for FUZZ_SECONDS:
# `make fuzz FUZZ_SECONDS=600`. Findings land in $(FUZZ_BUILD)/findings/.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 300

fuzz: deps
	./fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)
