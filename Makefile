# The two commands a newcomer needs: `make run` and `make test`.
BUILD_DIR ?= build
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
PREFIX ?= /usr/local
DESTDIR ?=
SHELL := /bin/bash

.PHONY: run game test build deps configure bench media format clean install uninstall \
	package package-check fuzz handling docs-pictures

# The tree for the game alone, without the tests, benchmarks and tools, so that none of
# their packages is needed. A build directory that the tests have configured stays as it is.
configure_game = if [ ! -f $(BUILD_DIR)/CMakeCache.txt ]; then \
	  cmake -S . -B $(BUILD_DIR) -DFERROX_BUILD_TESTS=OFF $(CMAKE_FLAGS); \
	elif [ -n "$(CMAKE_FLAGS)" ]; then cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS); fi

# The game alone: its own packages and its one target.
run:
	@tools/deps.sh run
	@$(configure_game)
	cmake --build $(BUILD_DIR) -j $(JOBS) --target ferrox
	cd bin && ./ferrox

# The game and what installs beside it (icons, manual page): what `make install` takes.
game:
	@tools/deps.sh install
	@$(configure_game)
	cmake --build $(BUILD_DIR) -j $(JOBS) --target ferrox ferrox_install_files

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

configure: deps
	cmake -S . -B $(BUILD_DIR) -DFERROX_BUILD_TESTS=ON $(CMAKE_FLAGS)

# The tests' packages: everything but the fuzz targets' and the package check's.
deps:
	@tools/deps.sh test

# The benchmarks' table, then the frame rate against a bare loop under Xvfb; the report,
# with the commit, date and machine, in $(BUILD_DIR)/reports/bench.txt.
bench: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target ferrox_bench ferrox ferrox_viewer ferrox_frame_counter
	tools/report.sh $(BUILD_DIR)/reports/bench.txt bench/run.sh $(BUILD_DIR)

# Regenerates every file under media/ from the generator in tools/.
media: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target ferrox_mediagen
	$(BUILD_DIR)/tools/ferrox_mediagen media

# The handling plots in docs/handling: ferrox_handling drives the tank model and writes its
# data, gnuplot draws it (tools/handling/plots.gp); each plot names the commit it shows.
handling: configure
	@tools/deps.sh test docs
	cmake --build $(BUILD_DIR) -j $(JOBS) --target ferrox_handling
	$(BUILD_DIR)/tools/ferrox_handling $(BUILD_DIR)/handling
	mkdir -p docs/handling
	gnuplot -e "data='$(abspath $(BUILD_DIR))/handling'; out='docs/handling'; \
	  made='made from $$(git describe --always --dirty) by make handling'" tools/handling/plots.gp

# The program, its media, launcher, icons and manual page, as `make game` (or `make build`)
# built them, under $(PREFIX), staged in $(DESTDIR) when given. It builds nothing, so that
# `sudo make install` leaves no file of root's among the build's; what it notes of the
# install in $(BUILD_DIR) goes to the build directory's owner.
built_program = $(shell sed -n 's/^FERROX_BIN_DIR:PATH=//p' $(BUILD_DIR)/CMakeCache.txt 2>/dev/null)/ferrox
built = $(and $(wildcard $(BUILD_DIR)/man/ferrox.6.gz),$(wildcard \
	$(BUILD_DIR)/icons/256x256/apps/ferrox.png),$(wildcard $(built_program)))
install:
	$(if $(built),,$(error nothing built in $(BUILD_DIR) to install: run make game first, as yourself))
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"
	@if [ "$$(id -u)" = 0 ]; then chown -R --reference=$(BUILD_DIR) $(BUILD_DIR)/install_manifest.txt \
	  $(BUILD_DIR)/install-records; fi

# Removes what `make install` put under the same $(PREFIX) and $(DESTDIR): its files, then
# the directories it made, once they are empty. Longer than the usual rule, which removes
# the files of install_manifest.txt alone, because that rule leaves every directory the
# install made (share/games/ferrox/media, the icon theme's size folders, the doc folder),
# and telling those from the ones that were there before needs the install's own note.
uninstall:
	DESTDIR="$(DESTDIR)" cmake -DBUILD_DIR="$(BUILD_DIR)" -DPREFIX="$(PREFIX)" \
	  -P cmake/Uninstall.cmake

# ferrox_<version>_amd64.deb in $(BUILD_DIR)/package, from the game alone unless the tests
# configured the tree.
package:
	@tools/deps.sh package
	@$(configure_game)
	cmake --build $(BUILD_DIR) -j $(JOBS) --target ferrox ferrox_install_files
	rm -f $(BUILD_DIR)/package/*.deb
	cd $(BUILD_DIR) && cpack -G DEB

# The package linted, then installed, run and removed on a clean Debian 12 root; the
# report in $(BUILD_DIR)/reports/package-check.txt.
package-check: package
	@tools/deps.sh package-check
	tools/report.sh $(BUILD_DIR)/reports/package-check.txt \
	  tools/package-check.sh $(BUILD_DIR)/package/ferrox_*.deb

# Each fuzz target (the assets', the settings', the recordings') for FUZZ_SECONDS, built with
# clang, libFuzzer and the sanitizers.
fuzz:
	@tools/deps.sh fuzz
	CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DFERROX_FUZZ=ON $(CMAKE_FLAGS)
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target ferrox_fuzz_jpeg ferrox_fuzz_3ds ferrox_fuzz_bmp \
	  ferrox_fuzz_settings ferrox_fuzz_replay
	tools/report.sh $(FUZZ_DIR)/reports/fuzz.txt tools/fuzz.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

# The pictures under docs/ from their committed sources.
docs-pictures:
	@tools/deps.sh docs
	for source in docs/*.dot; do dot -Tpng -Gdpi=96 "$$source" -o "$${source%.dot}.png"; done

format:
	@tools/deps.sh format
	clang-format -i $$(git ls-files '*.cpp' '*.h')

# Everything a build puts in the tree: the build directories (make's, the presets') and the
# programs in bin/.
clean:
	rm -rf $(BUILD_DIR) $(FUZZ_DIR) build-asan build-release
	find bin -mindepth 1 ! -name .gitkeep -delete
