# Movrek: the two commands a developer needs.
#   make test   installs what is missing, builds both worlds, runs every test tier but the soak
#   make soak   builds the Windows world and runs the soak: ten real minutes under Wine
#   make run    installs what is missing, builds, assembles the distribution folder and
#               starts movrek.exe from it under Wine
#   make voice  regenerates the recorded clips in sound/ (VOICE=path/to/tohoku-f01-neutral.htsvoice)
#   make dist   builds the Windows world and zips its distribution folder into build/movrek-0.3.zip
#   make fuzz   builds the libFuzzer targets with clang and runs each FUZZ_SECONDS (default 60),
#               or FUZZ_RUNS executions when that is set
#   make wavfuzz  runs WAV_MUTANTS (default 20000) mutated clips through the clip loader under Wine
#   make killsave  kills movrek.exe around its save under Wine until KILL_COUNT kills (default 500)
#               and KILL_SECONDS (default 0) have passed
#   make bench  measures movrek.exe against a minimal window built the same way; writes bench/results.md
.PHONY: all test soak run native win clean voice dist fuzz wavfuzz killsave bench

WIN_BUILD ?= build/win
NATIVE_BUILD ?= build/native

all: win

test:
	@NATIVE_BUILD=$(NATIVE_BUILD) WIN_BUILD=$(WIN_BUILD) scripts/test.sh

soak:
	@WIN_BUILD=$(WIN_BUILD) scripts/test.sh soak

run:
	@WIN_BUILD=$(WIN_BUILD) scripts/run.sh

win:
	@scripts/deps.sh
	cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WIN_BUILD) -j

native:
	@scripts/deps.sh
	cmake -S . -B $(NATIVE_BUILD) -DMOVREK_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(NATIVE_BUILD) -j

DIST_ZIP ?= build/movrek-0.3.zip

dist: win
	python3 help/make_zip.py --dist $(WIN_BUILD)/dist --out $(DIST_ZIP) --folder movrek-0.3

VOICE ?= ../shared/voice/tohoku-f01-neutral.htsvoice

voice:
	@scripts/deps.sh open-jtalk open-jtalk-mecab-naist-jdic
	python3 voice/generate.py --voice $(VOICE)

FUZZ_SECONDS ?= 60
FUZZ_BUILD ?= build/fuzz

fuzz:
	@FUZZ_BUILD=$(FUZZ_BUILD) tests/fuzz/run.sh $(FUZZ_SECONDS)

WAV_MUTANTS ?= 20000

wavfuzz: win
	@tests/fuzz/wavfuzz.sh $(WIN_BUILD) $(WAV_MUTANTS)

KILL_SECONDS ?= 0
KILL_COUNT ?= 500

killsave: win
	@tests/fuzz/killsave.sh $(WIN_BUILD) $(KILL_SECONDS) $(KILL_COUNT)

bench: win
	@WIN_BUILD=$(WIN_BUILD) scripts/bench.sh

clean:
	rm -rf build
