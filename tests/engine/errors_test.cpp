#include <gtest/gtest.h>

#include <cerrno>

#include "tavrel.h"

namespace tavrel {
namespace {

TEST(Errors, HandlerMessageIsComposedExactly) {
  EXPECT_EQ(ComposeErrorMessage(MakeError(9)),
            "Si è verificato l'errore  9 = Indice non compreso nell'intervallo\r"
            "Il programma verrà terminato");
  EXPECT_EQ(ComposeErrorMessage(MakeError(62)),
            "Si è verificato l'errore  62 = Input oltre la fine del file\r"
            "Il programma verrà terminato");
  EXPECT_EQ(ComposeErrorMessage(RuntimeError(-1, "x")),
            "Si è verificato l'errore -1 = x\rIl programma verrà terminato");
}

TEST(Errors, EveryNumberHasAnItalianDescription) {
  for (int number : {5, 6, 7, 9, 52, 53, 57, 58, 61, 62, 67, 70, 75, 76}) {
    const RuntimeError error = MakeError(number);
    EXPECT_EQ(error.number(), number);
    EXPECT_FALSE(error.description().empty());
    EXPECT_STREQ(error.what(), error.description().c_str());
  }
  EXPECT_EQ(MakeError(5).description(), "Chiamata di routine o argomento non validi");
  EXPECT_EQ(MakeError(53).description(), "Impossibile trovare il file");
  EXPECT_EQ(MakeError(70).description(), "Autorizzazione negata");
}

TEST(Errors, SystemErrorsMapToFileErrors) {
  const struct {
    int os_error;
    bool path_part;
    int number;
  } cases[] = {
      {ENOENT, false, 53}, {ENOENT, true, 76},  {ENOTDIR, false, 76}, {EACCES, false, 70},
      {EPERM, false, 70},  {EROFS, false, 70},  {ENOSPC, false, 61},  {EEXIST, false, 58},
      {EIO, false, 57},    {EMFILE, false, 67}, {ELOOP, false, 75},   {EISDIR, false, 75},
      {EPIPE, false, 57},  {EFBIG, false, 61},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FileError(c.os_error, c.path_part).number(), c.number) << c.os_error;
  // A full disk and a file too large for its destination are told apart.
  EXPECT_EQ(FileError(ENOSPC).description(), "Disco pieno");
  EXPECT_EQ(FileError(EFBIG).description(), "File troppo grande per la destinazione");
}

}  // namespace
}  // namespace tavrel
