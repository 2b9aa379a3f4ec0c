// An engine library without interface1.
extern "C" __attribute__((visibility("default"))) int interface2() { return 0; }
