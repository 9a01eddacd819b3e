/* The library com_probe.dll imports: it has to be loaded from beside it. */
__declspec(dllexport) int ComProbeDepValue(void) { return 42; }
