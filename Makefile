# Entry points. Each does its own set-up first (scripts/setup.sh installs
# what a fresh Debian 12 machine lacks and does nothing otherwise).

VERSION  := 0.9.9.6
NATIVE   := build/native
WIN      := build/win32
DIST     := dist/Kelvane-$(VERSION)
DEMO     := dist/demo
JOBS     ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all setup native win test test-layers test-tools test-native test-asan test-fuzz test-edid fuzz bench test-help test-wine test-dist dist demo demo-dist clean FORCE

all: native win

setup:
	@bash scripts/setup.sh

native: setup
	@cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(NATIVE) -j $(JOBS)

win: setup
	@cmake -S . -B $(WIN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw32.cmake -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
	@cmake --build $(WIN) -j $(JOBS)

build/ati.pci: tools/make_ati_pci.py | setup
	@mkdir -p build
	@python3 tools/make_ati_pci.py /usr/share/misc/pci.ids $@

# The folders are layers: a file that includes from a higher one fails.
test-layers: setup
	@python3 tools/check_layers.py

# The build tools: the import check, the ati.pci generator, the layer check.
test-tools: setup
	@bash tests/tools/build_tools_test.sh

test-native: native
	@cd $(NATIVE) && ctest --output-on-failure -j $(JOBS)

# The native suite again, built with AddressSanitizer and
# UndefinedBehaviorSanitizer (build/asan).
test-asan: setup
	@bash scripts/asan.sh

# Every reader of outside data under libFuzzer (build/fuzz): a few seconds
# each from the corpus in tests/fuzz/corpus for the tests, FUZZ_SECONDS each
# for `make fuzz`, which prints executions and coverage.
FUZZ_SECONDS ?= 600
test-fuzz: setup
	@bash scripts/fuzz.sh 5
fuzz: setup
	@bash scripts/fuzz.sh $(FUZZ_SECONDS)

# The EDID reader against Debian's edid-decode, over the EDID fuzz corpus
# and what the fuzz runs left in build/fuzz.
test-edid: native
	@bash tests/tools/edid_decode_test.sh $(NATIVE)/kvedid

# Measurements, not tests: the table build natively as its inputs double,
# and start-up to a visible main window under Wine beside an empty window.
bench: setup
	@bash scripts/bench.sh

# The help file: every page of its contents tree and index is in it.
test-help: win
	@bash tests/tools/help_test.sh $(WIN)/KelvaneEn.chm

test-wine: native win build/ati.pci
	@bash tests/wine/run.sh

# Every test: the layers, the build tools, the native suite plain and under
# the sanitizers, the fuzz targets from their corpus, the EDID reader
# against edid-decode, the help file, the Windows build under Wine, then the
# distribution.
test: test-layers test-tools test-native test-asan test-fuzz test-edid test-help test-wine test-dist

# What a user unpacks on Windows. The readme and the licence get the CR LF
# line ends Notepad needs, and the .txt a double click opens with.
dist: win build/ati.pci
	@rm -rf $(DIST) $(DIST).zip
	@mkdir -p $(DIST)
	@cp $(WIN)/Kelvane.exe build/ati.pci $(WIN)/KelvaneEn.chm lang/*.lng $(DIST)/
	@sed 's/\r*$$/\r/' res/ReadMe.txt >$(DIST)/ReadMe.txt
	@sed 's/\r*$$/\r/' LICENSE >$(DIST)/LICENSE.txt
	@cd dist && zip -qr Kelvane-$(VERSION).zip Kelvane-$(VERSION)
	@echo "dist: $(DIST)/ and $(DIST).zip"

# The distribution's zip holds exactly what it should.
test-dist: dist
	@bash tests/tools/dist_test.sh $(DIST).zip

demo-dist: win build/ati.pci
	@rm -rf $(DEMO)
	@mkdir -p $(DEMO)
	@cp $(WIN)/KelvaneDemo.exe $(DEMO)/Kelvane.exe
	@cp build/ati.pci $(WIN)/KelvaneEn.chm lang/*.lng $(DEMO)/
	@echo "demo: $(DEMO)/"

demo: demo-dist
	@bash scripts/demo.sh $(DEMO)

clean:
	rm -rf build dist
