# Tests of the import's readers, the BMP writer and the export server's DICOM
# encoding: pure code, built under Wine and natively (tests/native). Paths are
# relative to tests/exchange/.
set(TF_EXCHANGE_PURE_TESTS
    images_bmp_test.cpp
    images_xmgtext_test.cpp
    images_import_fuzz_test.cpp
    dicom_file_test.cpp
)
