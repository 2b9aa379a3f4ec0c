// Stands in for the encoder library in the control folder of the tests.
extern "C" __attribute__((visibility("default"))) int fake_encoder_present() { return 1; }
