/* A library built for another processor (x86-64) than the tool's: the tests
   place it beside the 32-bit tool under the client library's file name. */
__declspec(dllexport) int isc_attach_database(void) { return 0; }
