#include <utility>

#include "tavrel.h"

namespace tavrel {

RuntimeError::RuntimeError(int number, std::string description)
    : number_(number), description_(std::move(description)) {}

namespace {

std::string_view DescriptionOf(int number) {
  switch (number) {
    case err::kInvalidArgument:
      return "Chiamata di routine o argomento non validi";
    case err::kOverflow:
      return "Overflow";
    case err::kOutOfMemory:
      return "Memoria esaurita";
    case err::kSubscript:
      return "Indice non compreso nell'intervallo";
    case err::kBadFileName:
      return "Nome o numero di file non valido";
    case err::kFileNotFound:
      return "Impossibile trovare il file";
    case err::kDeviceIo:
      return "Errore di I/O della periferica";
    case err::kFileExists:
      return "File già esistente";
    case err::kDiskFull:
      return "Disco pieno";
    case err::kPastEnd:
      return "Input oltre la fine del file";
    case err::kTooManyFiles:
      return "Troppi file";
    case err::kPermission:
      return "Autorizzazione negata";
    case err::kPathFileAccess:
      return "Errore di accesso al percorso/file";
    case err::kPathNotFound:
      return "Impossibile trovare il percorso";
  }
  return "Errore definito dall'applicazione o dall'oggetto";
}

}  // namespace

RuntimeError MakeError(int number) {
  return RuntimeError(number, std::string(DescriptionOf(number)));
}

RuntimeError FileTooLarge() {
  return RuntimeError(err::kDiskFull, "File troppo grande per la destinazione");
}

[[noreturn]] void Raise(int number) {
  throw MakeError(number);
}

std::string ComposeErrorMessage(const RuntimeError& error) {
  std::string text = "Si è verificato l'errore ";
  // A number that is not negative is written with a blank in its sign place.
  if (error.number() >= 0) text += ' ';
  text += std::to_string(error.number());
  text += " = ";
  text += error.description();
  text += '\r';
  text += "Il programma verrà terminato";
  return text;
}

}  // namespace tavrel
