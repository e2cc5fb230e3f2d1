#include "gui/plu/PluListUnit.h"

#include "gui/app/LngTranslate.h"
#include "ui_PluListUnit.h"

TPluListFrame::TPluListFrame(QWidget* parent) : QWidget(parent), ui_(new Ui::TPluListFrame)
{
    ui_->setupUi(this);
    MarkLanguageWindow(this);
}

TPluListFrame::~TPluListFrame()
{
    delete ui_;
}

void TPluListFrame::InitPluView()
{
    ++initCount_;
    pluListMode_ = true;
}

void TPluListFrame::DonePluView() {}

void TPluListFrame::ShowPluListMode()
{
    pluListMode_ = true;
    show();
}
