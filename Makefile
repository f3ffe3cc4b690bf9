# Thin wrapper over CMake and Ninja; every target sets up what is missing first.
BUILD := build
WINDOWS_BUILD := build-windows
CMAKE_FLAGS ?=
PREFIX ?= /usr/local

.PHONY: all setup configure build test play play-song web bench fuzz install uninstall deb clean \
        windows windows-zip

all: build

# The web player and the tests need more than the native build; the
# setting holds for every target these two depend on.
test: SETUP_FOR := web windows
web: SETUP_FOR := web
windows windows-zip: SETUP_FOR := windows

setup:
	@scripts/setup $(SETUP_FOR)

configure: setup
	@[ -f $(BUILD)/build.ninja ] || cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	@cmake --build $(BUILD)

test: build
	@scripts/test

PLAY_SONG = $(or $(SONG),first-light)
DEMO_SONGS = $(filter-out CMakeLists,$(basename $(notdir $(wildcard examples/*.txt))))

# Only what it plays: the player, the default bank and the demo songs (which
# the zorvik tool compiles), not the tests.
play: play-song configure
	@cmake --build $(BUILD) --target zorvikpla default_bank examples
	$(BUILD)/zorvikpla $(BUILD)/examples/$(PLAY_SONG).zvo

# Before anything is set up or built: a song that is none of the demo songs
# (examples/*.txt) is refused, with their names.
play-song:
	@$(if $(filter $(PLAY_SONG),$(DEMO_SONGS)),:,echo "make play: there is no demo song" \
	  "'$(PLAY_SONG)'; SONG= takes one of: $(DEMO_SONGS)" >&2; exit 2)

# The web player in build-web/, with the demo songs and the default bank
# of the native build.
web: build
	@ZORVIK_NATIVE_BUILD=$(BUILD) web/build

# The Windows programs in $(WINDOWS_BUILD)/, cross-compiled with mingw-w64
# against libraries built from Debian's sources (scripts/windows-deps, once
# per version), with the default bank and the demo songs of the native build;
# a release build, as the zip takes it, at the native build's -O2 (GCC 12's
# -O3 warns, wrongly, of overlapping copies in std::string).
windows: configure
	@cmake --build $(BUILD) --target default_bank examples
	@prefix=$$(scripts/windows-deps) && \
	  cmake -S . -B $(WINDOWS_BUILD) -G Ninja --log-level=WARNING \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DZORVIK_WINDOWS_PREFIX="$$prefix" \
	    -DZORVIK_NATIVE_BUILD="$(CURDIR)/$(BUILD)" -DZORVIK_BENCH=OFF \
	    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
	    -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" >/dev/null
	@cmake --build $(WINDOWS_BUILD)

# zorvik-player-VERSION-windows-x64.zip in $(WINDOWS_BUILD)/.
windows-zip: windows
	@cmake --build $(WINDOWS_BUILD) --target windows_zip

bench: build
	$(BUILD)/bench/engine_bench
	bench/render_vs_dd.sh $(BUILD)
	bench/render_formats.sh $(BUILD)

fuzz: setup
	@scripts/fuzz

install: build
	@cmake -D BUILD=$(BUILD) -D PREFIX=$(PREFIX) -D ACTION=install -P packaging/install.cmake

uninstall:
	@cmake -D BUILD=$(BUILD) -D PREFIX=$(PREFIX) -D ACTION=uninstall -P packaging/install.cmake

# The Debian packages in $(BUILD)/deb/, built by dpkg-buildpackage from a
# clean copy of the tracked files; MAINTAINER="Name <address>" (or
# DEBFULLNAME and DEBEMAIL) names the maintainer.
deb: setup
	@BUILD=$(BUILD) MAINTAINER="$(MAINTAINER)" scripts/deb

clean:
	rm -rf $(BUILD) build-san build-tsan build-web build-wasm $(WINDOWS_BUILD)
