# The two commands a newcomer needs: `make run` and `make test`.
BUILD_DIR ?= build
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
PREFIX ?= /usr/local
DESTDIR ?=

.PHONY: run test build deps configure bench media format clean install uninstall package \
	package-check fuzz handling docs-pictures

# The game alone: its own packages and its one target. A build directory that the tests
# have configured already stays as it is.
run:
	@tools/deps.sh run
	@if [ ! -f $(BUILD_DIR)/CMakeCache.txt ]; then \
	  cmake -S . -B $(BUILD_DIR) -DFERROX_BUILD_TESTS=OFF $(CMAKE_FLAGS); \
	elif [ -n "$(CMAKE_FLAGS)" ]; then cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS); fi
	cmake --build $(BUILD_DIR) -j $(JOBS) --target ferrox
	cd bin && ./ferrox

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

configure: deps
	cmake -S . -B $(BUILD_DIR) -DFERROX_BUILD_TESTS=ON $(CMAKE_FLAGS)

# The tests' packages: everything but the fuzz targets' and the package check's.
deps:
	@tools/deps.sh test

# The benchmarks' table, then the frame rate against a bare loop under Xvfb.
bench: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target ferrox_bench ferrox ferrox_viewer ferrox_frame_counter
	bench/run.sh $(BUILD_DIR)

# Regenerates every file under media/ from the generator in tools/.
media: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target ferrox_mediagen
	$(BUILD_DIR)/tools/ferrox_mediagen media

# The handling plots in docs/handling: ferrox_handling drives the tank model and writes its
# data, gnuplot draws it (tools/handling/plots.gp); each plot names the commit it shows.
handling: configure
	@tools/deps.sh docs
	cmake --build $(BUILD_DIR) -j $(JOBS) --target ferrox_handling
	$(BUILD_DIR)/tools/ferrox_handling $(BUILD_DIR)/handling
	mkdir -p docs/handling
	gnuplot -e "data='$(abspath $(BUILD_DIR))/handling'; out='docs/handling'; \
	  made='made from $$(git describe --always --dirty) by make handling'" tools/handling/plots.gp

# The program, its media, launcher, icons and manual page under $(PREFIX), staged in
# $(DESTDIR) when given.
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"

# Removes what `make install` put under the same $(PREFIX) and $(DESTDIR): its files, then
# the directories it made, once they are empty.
uninstall:
	DESTDIR="$(DESTDIR)" cmake -DBUILD_DIR="$(BUILD_DIR)" -DPREFIX="$(PREFIX)" \
	  -P cmake/Uninstall.cmake

# ferrox_<version>_amd64.deb in $(BUILD_DIR)/package.
package: build
	@tools/deps.sh package
	rm -f $(BUILD_DIR)/package/*.deb
	cd $(BUILD_DIR) && cpack -G DEB

# The package linted, then installed, run and removed on a clean Debian 12 root.
package-check: package
	tools/package-check.sh $(BUILD_DIR)/package/ferrox_*.deb

# Each fuzz target (the assets', the settings', the recordings') for FUZZ_SECONDS, built with
# clang, libFuzzer and the sanitizers.
fuzz:
	@tools/deps.sh fuzz
	CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DFERROX_FUZZ=ON $(CMAKE_FLAGS)
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target ferrox_fuzz_jpeg ferrox_fuzz_3ds ferrox_fuzz_bmp \
	  ferrox_fuzz_settings ferrox_fuzz_replay
	tools/fuzz.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

# The pictures under docs/ from their committed sources.
docs-pictures:
	@tools/deps.sh docs
	dot -Tpng -Gdpi=96 docs/architecture.dot -o docs/architecture.png

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD_DIR) bin/ferrox
