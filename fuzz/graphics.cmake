# Fuzz targets of the image readers (BMP, PNG, JPEG), and the program that
# writes their seed corpora:
#   build/fuzz/bin/make_image_seeds fuzz/corpus
#   build/fuzz/bin/fuzz_bmp -max_total_time=600 <work dir> fuzz/corpus/bmp
qeb_add_fuzzer(fuzz_bmp SOURCES fuzz_bmp.cpp LIBS qebplatform)
# The conventional switch of fuzzing builds: the PNG reader then ignores
# checksums so that mutations get past them.
target_compile_definitions(qebplatform PRIVATE FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
qeb_add_fuzzer(fuzz_png SOURCES fuzz_png.cpp LIBS qebplatform)
qeb_add_fuzzer(fuzz_jpeg SOURCES fuzz_jpeg.cpp LIBS qebplatform)

find_package(JPEG REQUIRED)
find_package(PNG REQUIRED)
add_executable(make_image_seeds make_image_seeds.cpp)
qeb_target_warnings(make_image_seeds)
target_link_libraries(make_image_seeds PRIVATE qebplatform JPEG::JPEG PNG::PNG)
# The libraries here are instrumented: link the sanitizer and coverage runtimes.
target_compile_options(make_image_seeds PRIVATE
  -fsanitize=fuzzer-no-link,${QEB_FUZZ_SANITIZERS} -fno-omit-frame-pointer)
target_link_options(make_image_seeds PRIVATE -fsanitize=fuzzer-no-link,${QEB_FUZZ_SANITIZERS})
