#include "runtime/LocalizedMessages.h"

#include "platform/Process.h"
#include "platform/ui/Controls.h"

namespace Norvane::Runtime {
namespace {

constexpr TLocalizedRow EnglishRow = {
    "en",
    "Error",
    "Confirm",
    "Accept",
    "Cancel",
    "This is not a valid Windows application.",
    "The Microsoft WebView2 runtime is required to run this application. This application cannot continue "
    "and "
    "will be closed now.",
    "The Microsoft WebView2 runtime is required to run this application. Do you want to install it now?",
    "This application cannot continue and will be closed now.",
    "You cancel the installation of Microsoft WebView2 runtime, This application cannot continue and will be "
    "closed now.",
};

// Searched in this order after the user's code is known.
constexpr std::array<TLocalizedRow, 5> FurtherRows = {{
    {
        "es",
        "Error",
        "Confirmar",
        "Aceptar",
        "Cancelar",
        "Esta no es una aplicación de Windows válida.",
        "El Microsoft WebView2 runtime es necesario para esta aplicación. Esta aplicación no puede continuar "
        "y se "
        "cerrará ahora.",
        "El Microsoft WebView2 runtime es necesario para esta aplicación. ¿Quiere instalarlo ahora?",
        "Esta aplicación no puede continuar y se cerrará ahora.",
        "Ha cancelado la instalación de Microsoft WebView2 runtime. Esta aplicación no puede continuar y se "
        "cerrará ahora.",
    },
    {
        "it",
        "Errore",
        "Confermare",
        "Accettare",
        "Annulla",
        "Questa non è un'applicazione Windows valida.",
        "Il runtime di Microsoft WebView2 è necessario per eseguire questa applicazione. Questa applicazione "
        "non "
        "può continuare e verrà chiusa ora.",
        "Il runtime di Microsoft WebView2 è necessario per eseguire questa applicazione. Vuoi installarlo "
        "ora?",
        "Questa applicazione non può continuare e verrà chiusa ora.",
        "Annulla l'installazione del runtime di Microsoft WebView2, questa applicazione non può continuare e "
        "verrà chiusa ora.",
    },
    {
        "de",
        "Error",
        "Bestätigen",
        "Akzeptieren",
        "Stornieren",
        "Dies ist keine gültige Windows-Anwendung.",
        "Die Microsoft WebView2-Laufzeit ist erforderlich, um diese Anwendung auszuführen. Diese Anwendung "
        "kann "
        "nicht fortgesetzt werden und wird jetzt geschlossen.",
        "Die Microsoft WebView2-Laufzeit ist erforderlich, um diese Anwendung auszuführen. Möchten Sie es "
        "jetzt "
        "installieren?",
        "Diese Anwendung kann nicht fortgesetzt werden und wird jetzt geschlossen.",
        "Sie brechen die Installation der Microsoft WebView2-Laufzeit ab. Diese Anwendung kann nicht "
        "fortgesetzt "
        "werden und wird jetzt geschlossen.",
    },
    {
        "fr",
        "Erreur",
        "Confirmer",
        "J'accepte",
        "Annuler",
        "Ce n'est pas une application Windows valide.",
        "Le runtime Microsoft WebView2 est requis pour exécuter cette application. Cette application ne peut "
        "pas "
        "continuer et sera fermée maintenant.",
        "Le runtime Microsoft WebView2 est requis pour exécuter cette application. Voulez-vous l'installer "
        "maintenant?",
        "Cette application ne peut pas continuer et sera fermée maintenant.",
        "Vous annulez l'installation du runtime Microsoft WebView2. Cette application ne peut pas continuer "
        "et "
        "sera fermée maintenant.",
    },
    {
        "zh",
        "错误",
        "确认",
        "接受",
        "取消",
        "这不是有效的Windows应用程序。",
        "运行此应用程序需要Microsoft WebView2运行时。 该应用程序无法继续，将立即关闭。",
        "运行此应用程序需要Microsoft WebView2运行时。 您要立即安装吗？",
        "此应用程序无法继续，将立即关闭。",
        "您取消了Microsoft WebView2运行时的安装，此应用程序无法继续，将立即关闭。",
    },
}};

// "de_DE.UTF-8@euro" -> "de"; "C" and "POSIX" name no language.
std::string LanguageOfLocaleName(const std::string& name) {
    if (name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0)
        return {};
    std::size_t end = name.find_first_of("_.@");
    return name.substr(0, end);
}

} // namespace

std::string GetUserLanguageCode() {
    for (const char* variable : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
        auto value = Platform::GetEnv(variable);
        if (value && !value->empty())
            return LanguageOfLocaleName(*value);
    }
    return {};
}

std::string GetLocalizedMessageFor(const std::string& LanguageCode, int MessageIndex) {
    if (MessageIndex < 0 || MessageIndex >= LocalizedMessageCount)
        throw EMessageIndexError("MessageIndex is out of range!");
    std::string result = EnglishRow[static_cast<std::size_t>(MessageIndex)];
    for (const auto& row : FurtherRows) {
        if (LanguageCode == row[0]) {
            result = row[static_cast<std::size_t>(MessageIndex)];
            break;
        }
    }
    return result;
}

std::string GetLocalizedMessage(int MessageIndex) {
    if (MessageIndex < 0 || MessageIndex >= LocalizedMessageCount)
        throw EMessageIndexError("MessageIndex is out of range!");
    return GetLocalizedMessageFor(GetUserLanguageCode(), MessageIndex);
}

Platform::Ui::TModalResult ShowLocalizedDialog(const std::string& Msg, Platform::Ui::TMsgDlgType DlgType,
                                               Platform::Ui::TMsgDlgButtons Buttons, const std::string& Title,
                                               const std::vector<std::string>& ButtonCaptions) {
    using namespace Platform::Ui;
    // The buttons are sized to the captions of the language.
    TForm* dialog = CreateMessageDialog(Msg, DlgType, Buttons, ButtonCaptions);
    dialog->SetCaption(Title);
    return dialog->ShowModal();
}

} // namespace Norvane::Runtime
