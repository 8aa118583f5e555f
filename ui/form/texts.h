// Every text the user reads in the two windows, written once for every window
// binding: captions, tooltips, messages, the instructions and the credits.
// UTF-8; "&" marks an access key ("&&" shows one "&"); "\n" breaks a line of a
// message.  In a message, "%1", "%2", "%3" stand for the values Fill puts in.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavrel::form::texts {

// --- The main window FormConverter.
// "Tavrel Converter 1.1 (21.11.2003)": the program's version and release date.
std::string Caption();
inline constexpr char kFrame1[] = "Selezione File Sorgente";
inline constexpr char kFrame3[] = "Selezione File Destinazione";
inline constexpr char kFrame2[] = "Informazioni File e Conversione";
inline constexpr char kLabel22[] = "Nome File (formato Dos 8+3 caratteri):";
inline constexpr char kSourceFile[] = "Nome: ";
inline constexpr char kTipoFile[] = "Formato: ";
inline constexpr char kFileSize[] = "Dimensione: ";
inline constexpr char kFileDate[] = "Data Creazione: ";
inline constexpr char kConvPreview[] = "Conversione: ";
inline constexpr char kConveSalva[] = "&Converte && Salva";
inline constexpr char kInfo[] = "&Informazioni";
inline constexpr char kExit[] = "&Esci";

// What a screen reader calls the lists, which have no label of their own.
inline constexpr char kDriveName[] = "Unità del file sorgente";
inline constexpr char kSourceDirName[] = "Cartella del file sorgente";
inline constexpr char kSourceFileListName[] = "File sorgente";
inline constexpr char kDestDirName[] = "Cartella di destinazione";
inline constexpr char kDestFileListName[] = "File di destinazione";

// Tooltips.
inline constexpr char kDriveTip[] = "Seleziona l'unità dove si trova il file da convertire";
inline constexpr char kSourceDirTip[] = "Seleziona la cartella dove si trova il file da convertire";
inline constexpr char kSourceFileListTip[] = "Seleziona il file da convertire";
inline constexpr char kDestDirTip[] = "Seleziona la cartella dove salvare il file convertito";
inline constexpr char kDestFileNameTip[] = "Inserire il nome del file di destinazione";
inline constexpr char kDestFileListTip[] =
    "Seleziona (eventualmente) il nome di un file esistente da sovrascrivere con il file "
    "convertito";
inline constexpr char kFrame2Tip[] =
    "Informazioni sul File selezionato e sull'esito della conversione";
inline constexpr char kConveSalvaTip[] =
    "Converte il file sorgente dal formato 4.x al 3.x scrivendo il risultato sul file di "
    "destinazione";
inline constexpr char kInfoTip[] = "Informazioni sul programma";
inline constexpr char kExitTip[] = "Esce immediatamente dal programma";

// The message boxes' buttons.
inline constexpr char kYes[] = "&Sì";
inline constexpr char kNo[] = "&No";
inline constexpr char kOk[] = "OK";

// Message titles.
inline constexpr char kWarningTitle[] = "Attenzione!";
inline constexpr char kErrorTitle[] = "Errore!";

// Messages.
inline constexpr char kDriveUnreadable[] =
    "Impossibile leggere l'unità %1.\nVerificare che sia pronta e riprovare.";
inline constexpr char kFolderUnreadable[] =
    "Impossibile aprire la cartella %1:\nla cartella non esiste più o non si può leggere.";
inline constexpr char kOverwrite[] = "Il file %1 esiste già. Lo sovrascrivo?";
inline constexpr char kNameMissing[] = "Inserire il nome del file di destinazione.";
inline constexpr char kNameInvalid[] =
    "\"%1\" non è un nome di file valido.\nUn nome di file non può contenere i caratteri "
    "\\ / : * ? \" < > | né caratteri di controllo, e non può essere \".\" o \"..\".";
inline constexpr char kNameNotDos[] =
    "Il nome %1 non è nel formato Dos 8+3 caratteri: Tavrel 3.52 per Dos potrebbe non "
    "riuscire ad aprire il file.\nSalvo comunque con questo nome?";
inline constexpr char kFolderMissing[] =
    "La cartella di destinazione %1 non esiste più.\nScegliere un'altra cartella.";
inline constexpr char kTargetIsFolder[] =
    "%1 è una cartella.\nScegliere un altro nome per il file di destinazione.";
inline constexpr char kTargetIsTemporary[] =
    "Il file di destinazione coincide con il file temporaneo della conversione.\n"
    "Scegliere un altro nome o un'altra cartella.";
inline constexpr char kTemporaryGone[] =
    "Il file convertito non esiste più.\nSelezionare di nuovo il file sorgente.";
inline constexpr char kSaveFailed[] =
    "Impossibile salvare il file %1:\n%2 (errore %3).\n\nLa conversione non è andata persa: "
    "scegliere un'altra cartella o un altro nome, oppure liberare spazio, e riprovare.";
inline constexpr char kTemporaryKept[] =
    "Il file è stato salvato, ma non è stato possibile eliminare il file temporaneo %1:\n%2.";
inline constexpr char kTemporaryNotDeleted[] =
    "Impossibile eliminare il file temporaneo %1:\n%2.\nEliminarlo a mano.";
inline constexpr char kOpenMissing[] = "Il file %1 non esiste.";
inline constexpr char kOpenNotListed[] =
    "Il file %1 non si può aprire: l'elenco dei file non mostra i file nascosti né i file "
    "speciali.";

// `text` with "%1", "%2", ... replaced by the values, in one pass (a value
// that holds "%2" stays as it is).
std::string Fill(std::string_view text, const std::vector<std::string>& values);

// --- The information window InfoWindow.
inline constexpr char kInfoCaption[] = "Informazioni";
inline constexpr char kButtInfoOk[] = "OK";
inline constexpr char kFreeware[] = "Freeware 2003";  // Label1
inline constexpr char kAuthor[] = "Ugo Fennok";       // Label2 after "di "
inline constexpr char kEmail[] = "ugo@example.org";   // Label3
inline constexpr char kWeb[] = "www.example.org";     // Label4
std::string AuthorLine();                             // Label2: "di " and the author's name

// The 35 lines of the instructions (Istruzioni), each without its line end.
std::vector<std::string> InstructionLines();
// The instructions as the box holds them: every line ended by CR LF.
std::string InstructionText();

}  // namespace tavrel::form::texts
