# Tests of the import's readers, the BMP writer and the export server's DICOM
# encoding: pure code, built under Wine and natively (tests/native). Paths are
# relative to tests/exchange/.
set(TF_EXCHANGE_PURE_TESTS
    bmpformat_test.cpp
    xmgtext_test.cpp
    import_fuzz_test.cpp
    dicomfile_test.cpp
)
