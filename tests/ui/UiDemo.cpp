// A window built only from the user-interface layer: menu bar with images and
// short-cuts, marquee progress bar, activity indicators, a password edit with
// a left button, and a message dialog. Used by the screenshot script.
#include "platform/ui/Application.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/Menus.h"
#include "win11forms/Win11Forms.h"

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

using namespace Norvane::Platform::Ui;

namespace {

TBitmap Square(TRgb Rgb) {
    TBitmap b(16, 16);
    b.Fill(Rgb);
    for (int i = 0; i < 16; ++i) { // a white diagonal so the picture has a shape
        auto* p = b.Pixel(i, i);
        p[0] = p[1] = p[2] = 255;
    }
    return b;
}

} // namespace

int main(int argc, char** argv) {
    bool withDialog = argc > 1 && std::string(argv[1]) == "--dialog";
    Application().Initialize();
    Application().SetTitle("Norvane UI demo");
    auto* form = Application().CreateForm<Kestrin::Win11Forms::TForm>();
    form->SetCaption("Norvane UI demo");
    form->SetPosition(TPosition::poDesigned);
    form->SetBounds(40, 40, 560, 360);
    form->SetColor(clBtnFace);

    auto* collection = new TImageCollection(form);
    collection->AddBitmap("MainMenuImg0", Square({0x20, 0x80, 0xE0}));
    collection->AddBitmap("MainMenuImg1", Square({0xE0, 0x40, 0x30}));
    auto* images = new TVirtualImageList(form);
    images->SetAutoFill(true);
    images->SetImageCollection(collection);

    auto* menu = new TMainMenu(form);
    menu->SetImages(images);
    auto* file = new TMenuItem(menu);
    file->SetCaption("&File");
    menu->Items()->Add(file);
    auto addItem = [&](TMenuItem* parent, const std::string& caption, int image, const std::string& shortcut,
                       bool enabled) {
        auto* item = new TMenuItem(menu);
        item->SetCaption(caption);
        item->SetImageIndex(image);
        item->SetShortCut(TextToShortCut(shortcut));
        item->SetEnabled(enabled);
        parent->Add(item);
        return item;
    };
    addItem(file, "&Open", 0, "Ctrl+O", true);
    addItem(file, "&Save", 1, "Ctrl+S", false);
    addItem(file, "-", -1, "", true);
    auto* quit = addItem(file, "&Quit", -1, "Ctrl+Q", true);
    quit->OnClick = [](TObject*) { Application().Terminate(); };
    auto* help = new TMenuItem(menu);
    help->SetCaption("&Help");
    menu->Items()->Add(help);
    addItem(help, "&About", -1, "F1", true);
    form->SetMenu(menu);

    auto* label = new TLabel(form);
    label->SetParent(form);
    label->SetCaption("Password:");
    label->SetBounds(24, 28, 100, 20);
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    edit->SetBounds(24, 50, 257, 21);
    edit->SetPasswordChar(U'*');
    edit->SetImages(images);
    edit->SetLeftButtonImageIndex(0);
    edit->SetLeftButtonVisible(true);
    edit->SetText("secret");

    int x = 24;
    for (auto type : {TActivityIndicatorType::aitMomentumDots, TActivityIndicatorType::aitRotatingSector,
                      TActivityIndicatorType::aitSectorRing}) {
        auto* indicator = new TActivityIndicator(form);
        indicator->SetParent(form);
        indicator->SetIndicatorSize(TActivityIndicatorSize::aisXLarge);
        indicator->SetIndicatorType(type);
        indicator->SetLeft(x);
        indicator->SetTop(110);
        x += 90;
    }
    auto* dark = new TPanel(form);
    dark->SetParent(form);
    dark->SetBounds(x, 102, 80, 80);
    dark->SetColor(clHotLight);
    auto* white = new TActivityIndicator(dark);
    white->SetParent(dark);
    white->SetIndicatorSize(TActivityIndicatorSize::aisXLarge);
    white->SetIndicatorColor(TActivityIndicatorColor::aicWhite);
    white->SetBounds(9, 8, 64, 64);

    auto* progress = new TProgressBar(form);
    progress->SetParent(form);
    progress->SetAlign(TAlign::alBottom);
    progress->SetHeight(4);
    progress->SetStyle(TProgressBarStyle::pbstMarquee);

    if (withDialog)
        Application().Queue([] {
            TForm* dialog =
                CreateMessageDialog("The Microsoft WebView2 runtime is required to run this application. Do "
                                    "you want to install it now?",
                                    TMsgDlgType::mtConfirmation, {TMsgDlgBtn::mbYes, TMsgDlgBtn::mbCancel});
            dialog->SetCaption("Confirm");
            const char* captions[] = {"Accept", "Cancel"};
            int next = 0;
            for (int i = 0; i < dialog->ControlCount() && next < 2; ++i)
                if (auto* button = dynamic_cast<TButton*>(dialog->Controls(i)))
                    button->SetCaption(captions[next++]);
            TModalResult result = dialog->ShowModal();
            std::cout << "dialog result " << result << std::endl;
        });
    Application().Run();
    return 0;
}
