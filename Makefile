# The two everyday commands: `make play` and `make test`. Each installs the
# Debian packages it needs first (scripts/install-deps.sh, by group), then
# builds with CMake in $(BUILD).
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
MOD ?= $(BUILD)/demo.mod
PREFIX ?= /usr/local
# `make package ARCH=armhf` packages the cross build of build-armhf.
ARCH ?=

.PHONY: all deps test-deps package-deps configure build play test install package clean \
	cross-deps cross test-cross bench-deps bench bench-peers bench-callgrind fuzz

all: build

deps:
	@./scripts/install-deps.sh build
test-deps:
	@./scripts/install-deps.sh test
package-deps:
	@./scripts/install-deps.sh package

# Configured on every run (a second or so), so that the tests appear in a
# build folder first configured by `make play` once GoogleTest is there.
configure:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: deps configure
	cmake --build $(BUILD) -j $(JOBS)

# Builds only the player and the demo module, then plays MOD, quoted for the
# shell whatever its name holds.
play: deps configure
	cmake --build $(BUILD) -j $(JOBS) --target zindle demo_module
	$(BUILD)/zindle '$(subst ','\'',$(MOD))'

# After the suite, each skipped test with the reason it gave.
SKIP_REASONS = awk '/^\[ RUN      \]/ { name = $$4 } /: Skipped$$/ { getline why; print "Skipped " name ": " why }' \
	Testing/Temporary/LastTest.log

test: test-deps build
	cd $(BUILD) && ctest --output-on-failure --no-tests=error -j $(JOBS) && $(SKIP_REASONS)

# `make install PREFIX=...` (DESTDIR is honoured too) and `make package`,
# which writes the Debian package $(BUILD)/zindle_<version>_<arch>.deb
# (with ARCH=armhf, arm64, armel or mipsel: $(CROSS_BUILD)/zindle_<version>_<ARCH>.deb).
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

ifeq ($(ARCH),)
package: package-deps build
	cd $(BUILD) && cpack -G DEB
else
package: cross
	cd $(CROSS_BUILD) && cpack -G DEB
endif

# Cross builds with Debian's cross compilers, tested under qemu-user:
# `make cross ARCH=armhf` (arm64, armel, mipsel) builds everything in build-$(ARCH)
# against a sysroot of the target's Debian packages made there;
# `make test-cross ARCH=...` runs the whole suite under the emulator.
CROSS_BUILD ?= build-$(ARCH)

cross-deps:
	@[ -n "$(ARCH)" ] || { echo "make cross: say ARCH=armhf, arm64, armel or mipsel" >&2; exit 2; }
	@./scripts/install-deps.sh cross-$(ARCH)

cross: cross-deps
	./scripts/make-sysroot.sh $(ARCH) $(CROSS_BUILD)/sysroot
	cmake -S . -B $(CROSS_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null \
	  $(if $(wildcard $(CROSS_BUILD)/CMakeCache.txt),,-DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/$(ARCH).cmake)
	cmake --build $(CROSS_BUILD) -j $(JOBS)

test-cross: cross
	@./scripts/install-deps.sh test-cross-$(ARCH)
	cd $(CROSS_BUILD) && ctest --output-on-failure --no-tests=error -j $(JOBS) && $(SKIP_REASONS)

# Benchmarks, in their own Release build folder: `make bench` (Google
# Benchmark), `make bench-peers` (against libxmp, libopenmpt, libmikmod),
# `make bench-callgrind` (instruction counts).
BENCH_BUILD ?= build-bench

bench-deps:
	@./scripts/install-deps.sh bench

bench: bench-deps
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

fuzz:
	@./scripts/install-deps.sh fuzz
	./fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)
