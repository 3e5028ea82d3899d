# The two commands of the README: `make run` (the scenario runner on the demo
# office; it also builds the codec tool the README names) and `make test`. Both
# set up a fresh Debian machine first.
.PHONY: run test bootstrap format asan cross fuzz bench windows-test windows-e2e installers \
        run-mail-server mail-server-test coverage

SCENARIO ?= scenarios/demo.scn
# A build never runs more compilers than the machine has cores: more only
# competes for them and for memory.
JOBS ?= $(shell nproc)

bootstrap:
	@scripts/bootstrap

run: bootstrap
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS) --target quendrilax-sim quendrilax-codec
	build/release/tools/quendrilax-sim $(SCENARIO)

test: bootstrap
	cmake --preset dev >/dev/null
	cmake --build --preset dev -j $(JOBS)
	ctest --preset dev

# The demo office (or SCENARIO) over a real mail server on loopback that is
# started for the run and stopped after it however the run ends, Ctrl-C
# included (scripts/mail-server run; as root).
run-mail-server:
	@scripts/bootstrap mail
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS) --target quendrilax-sim
	scripts/mail-server run -- build/release/tools/quendrilax-sim --mail-server {} $(SCENARIO)

# The test label mailserver: every scenario that carries mail, over a real
# mail server that CTest starts and stops (docs/mail-server.md).
mail-server-test:
	@scripts/bootstrap mail
	cmake --preset dev >/dev/null
	cmake --build --preset dev -j $(JOBS) --target quendrilax-sim test_mailserver
	ctest --test-dir build/dev -L mailserver --output-on-failure

# The suite built with gcc's coverage counters (build/coverage), run as
# `make test` runs it; then line, function and branch coverage per folder of
# the add-in and every line no test ran (scripts/coverage-report). The
# counters start from zero at each run. Branches the compiler adds for
# exceptions are left out.
COVERAGE_FILTER = src/(core|protocol|incoming|outgoing|basicsync|ui|common)/
coverage:
	@scripts/bootstrap coverage
	cmake --preset coverage >/dev/null
	@# Counters of objects since rebuilt would clash with the new ones when the
	@# build runs the test programs to list their tests; those runs count too.
	find build/coverage -name '*.gcda' -delete
	cmake --build --preset coverage -j $(JOBS)
	find build/coverage -name '*.gcda' -delete
	ctest --preset coverage; status=$$?; \
	gcovr --root . --object-directory build/coverage --filter '$(COVERAGE_FILTER)' \
	  --exclude-directories 'build/coverage/CMakeFiles' \
	  --exclude-throw-branches --exclude-unreachable-branches -j $(JOBS) \
	  --json build/coverage/coverage.json && \
	scripts/coverage-report build/coverage/coverage.json || status=1; exit $$status

asan: bootstrap
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan

cross: bootstrap
	cmake --preset cross >/dev/null
	cmake --build --preset cross -j $(JOBS)

# The Windows module and its test program, cross-built with MinGW for 64-bit
# and 32-bit hosts and run under Wine with a fresh prefix; then each package
# installed, upgraded and removed in a fresh prefix of its own.
windows-test:
	@scripts/bootstrap windows
	cmake --preset cross -B build/win-cross -DQX_WIN_TESTS=ON >/dev/null
	cmake --build build/win-cross -j $(JOBS) --target Quendrilax test_win qx_pictures test_installed installer installer_next
	cmake --preset cross32 -B build/win-cross32 -DQX_WIN_TESTS=ON >/dev/null
	cmake --build build/win-cross32 -j $(JOBS) --target Quendrilax test_win test_installed installer installer_next
	tests/win/run-under-wine build/win-cross
	tests/win/run-under-wine build/win-cross32
	tests/win/run-installers build/win-cross build/win-cross32

# The two packages a user installs: build/installers/Quendrilax-x64.msi (for
# the 64-bit mail client) and Quendrilax-x86.msi (for the 32-bit one).
installers:
	@scripts/bootstrap windows
	cmake --preset cross -B build/win-cross -DQX_WIN_TESTS=ON >/dev/null
	cmake --build build/win-cross -j $(JOBS) --target installer
	cmake --preset cross32 -B build/win-cross32 -DQX_WIN_TESTS=ON >/dev/null
	cmake --build build/win-cross32 -j $(JOBS) --target installer
	mkdir -p build/installers
	cp build/win-cross/Quendrilax-x64.msi build/win-cross32/Quendrilax-x86.msi build/installers/

# The module end to end: two users' mail hosts under Wine carry tasks between
# them through a post office folder (tests/win/e2e/run-story); with
# MAIL=server through a real mail server started for the run.
windows-e2e:
	@scripts/bootstrap windows
	cmake --preset cross -B build/win-cross -DQX_WIN_TESTS=ON >/dev/null
	cmake --build build/win-cross -j $(JOBS) --target Quendrilax qx_mail_host QxSafeItems
ifeq ($(MAIL),server)
	@scripts/bootstrap mail
	@dir=$$(mktemp -d /tmp/qx-mail.XXXXXX); \
	scripts/mail-server start $$dir --address anna@example.org --address ben@example.org || \
	  { scripts/mail-server stop $$dir; rm -rf $$dir; exit 1; }; \
	QX_MAIL_SERVER=$$dir tests/win/e2e/run-story build/win-cross; status=$$?; \
	scripts/mail-server stop $$dir; rm -rf $$dir; exit $$status
else
	tests/win/e2e/run-story build/win-cross
endif

fuzz:
	@scripts/bootstrap fuzz
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)

bench: bootstrap
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)
	for b in build/release/bench/*_bench; do $$b; done

format:
	git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format -i
