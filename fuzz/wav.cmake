# The WAV reader, instrumented, and its fuzz target.
add_executable(fuzz_wav_input wav_input_fuzzer.cpp ${PROJECT_SOURCE_DIR}/engine/wav_input.cpp)
target_include_directories(fuzz_wav_input PRIVATE ${PROJECT_SOURCE_DIR}/engine)
target_link_libraries(fuzz_wav_input PRIVATE zubmp3_platform)
target_compile_options(fuzz_wav_input PRIVATE -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
target_link_options(fuzz_wav_input PRIVATE -fsanitize=fuzzer,address,undefined)
set_target_properties(fuzz_wav_input PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
add_dependencies(zubmp3_fuzz_targets fuzz_wav_input)
