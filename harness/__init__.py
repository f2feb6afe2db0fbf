"""The harness that runs the real Quorvel.exe under Wine for the end-to-end tests, the stress
and settings tests, the benchmarks and the demo, with the panel probe (probe/) that reads the
panel from outside. Found through PYTHONPATH set to the checkout, which CMake and the Makefile
set.

wine      the build under test, the Wine loaders, the prefix and the Xvfb display
cdefs     names and numbers read from the C++ headers, so that none is typed here twice
driver    the virtual MIDI driver's folder: devices, injected input, stage faults, records
panel     one run of the program: its process, the panel probe and real X input
midi      MIDI words, and the realistic stream both benchmarks play
waiting   the one bounded wait on a condition

The base of the end-to-end test groups, with their assertions, is tests/e2e/panel_case.py.
"""
