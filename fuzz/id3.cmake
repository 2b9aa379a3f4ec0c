# The tag library, instrumented, and its four fuzz targets.
set(zubmp3_fuzz_flags -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined)
zubmp3_add_id3_library(zubmp3_fuzz_id3)
target_compile_options(zubmp3_fuzz_id3 PUBLIC ${zubmp3_fuzz_flags})

foreach(name id3v2_reader id3v2_writer_walk id3v2_tag_length id3v1_reader)
  add_executable(fuzz_${name} ${name}_fuzzer.cpp)
  target_link_libraries(fuzz_${name} PRIVATE zubmp3_fuzz_id3)
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  set_target_properties(fuzz_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  add_dependencies(zubmp3_fuzz_targets fuzz_${name})
endforeach()
