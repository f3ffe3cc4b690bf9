# Thin wrapper over CMake and Ninja; every target sets up what is missing first.
BUILD := build
CMAKE_FLAGS ?=
PREFIX ?= /usr/local

.PHONY: all setup configure build test play bench fuzz install uninstall deb clean

all: build

setup:
	@scripts/setup

configure: setup
	@[ -f $(BUILD)/build.ninja ] || cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	@cmake --build $(BUILD)

test: build
	@scripts/test

play: build
	$(BUILD)/zorvikpla $(BUILD)/examples/$(or $(SONG),first-light).zvo

bench: build
	$(BUILD)/bench/engine_bench

fuzz: setup
	@scripts/fuzz

install: build
	@cmake -D BUILD=$(BUILD) -D PREFIX=$(PREFIX) -D ACTION=install -P packaging/install.cmake

uninstall:
	@cmake -D BUILD=$(BUILD) -D PREFIX=$(PREFIX) -D ACTION=uninstall -P packaging/install.cmake

deb: build
	@cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) build-san
