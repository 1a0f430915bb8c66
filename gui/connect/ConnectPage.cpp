#include "gui/connect/ConnectPage.h"

#include "client/PortListing.h"
#include "gui/connect/DisconnectChoices.h"
#include "gui/connect/ModuleTree.h"
#include "gui/shell/Child.h"
#include "gui/shell/ControlIds.h"
#include "gui/shell/Globals.h"
#include "gui/shell/MessageBoxes.h"
#include "gui/shell/MyPropSheet.h"
#include "gui/shell/Texts.h"
#include "platform/Files.h"
#include "platform/Registry.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QStringDecoder>
#include <QVBoxLayout>

namespace zk::gui {
namespace {

constexpr qint64 kMaxInfoText = 64 * 1024;
constexpr std::string_view kDefaultDmLibrary = "KORDm";

// The whole file as text (UTF-8, else Latin-1); empty when it cannot be read.
QString ReadInfoText(const std::string& path) {
  QFile file(Qs(files::ResolveNoCase(path)));
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.read(kMaxInfoText);
  QStringDecoder utf8(QStringDecoder::Utf8);
  const QString text = utf8(bytes);
  return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

}  // namespace

CConnectPage::CConnectPage(const Links& links, QWidget* parent)
    : CPropertyPage(kConnectDialog, "Connect", parent),
      links_(links),
      tree_(Child<CModuleTree>(this)),
      infoText_(Child<QLabel>(this)),
      portText_(Child<QLabel>(this)),
      autoBoot_(Child<QCheckBox>(this, QString("activate automatic BOOT/RESET signal"))),
      choices_(Child<CDisconnectChoices>(this)),
      connectButton_(Child<QPushButton>(this, Text(TextId::kConnect))) {
  SetControlId(tree_, kModuleTree);
  SetControlId(infoText_, kModuleInfoText);
  SetControlId(autoBoot_, kAutoBootBox);
  SetControlId(connectButton_, kConnectButton);

  infoText_->setTextFormat(Qt::PlainText);
  infoText_->setWordWrap(true);
  infoText_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  infoText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  infoText_->setMargin(6);
  portText_->setObjectName("portMapping");
  portText_->setTextFormat(Qt::PlainText);
  portText_->setWordWrap(true);
  portText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  connectButton_->setMinimumWidth(120);
  connectButton_->setDefault(true);

  auto* layout = Child<QHBoxLayout>(this);
  auto* modules = Child<QGroupBox>(this, QString("Module types"));
  Child<QVBoxLayout>(modules)->addWidget(tree_);
  layout->addWidget(modules, 1);

  auto* right = Child<QWidget>(this);
  auto* column = Child<QVBoxLayout>(right);
  column->setContentsMargins(0, 0, 0, 0);
  auto* description = Child<QGroupBox>(right, QString("Description"));
  auto* scroll = Child<QScrollArea>(description);
  scroll->setWidget(infoText_);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  Child<QVBoxLayout>(description)->addWidget(scroll);
  column->addWidget(description, 1);
  auto* port = Child<QGroupBox>(right, QString("Port"));
  Child<QVBoxLayout>(port)->addWidget(portText_);
  column->addWidget(port);
  column->addWidget(autoBoot_);
  column->addWidget(choices_);
  column->addWidget(connectButton_, 0, Qt::AlignRight);
  layout->addWidget(right, 2);

  autoBoot_->hide();
  connect(connectButton_, &QPushButton::clicked, this, [this] { ConnectOrDisconnect(); });
  connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this] { ConnectOrDisconnect(); });
  connect(tree_, &QTreeWidget::currentItemChanged, this, [this] { OnSelectionChanged(); });
}

void CConnectPage::SetStatus(const QString& text) {
  if (links_.sheet != nullptr) links_.sheet->SetStatusText(text);
}

void CConnectPage::Initialize() {
  const std::optional<std::string> installed = reg::InstallationDirectory();
  if (!installed) return;
  tree_->Fill(files::Join(*installed, "target"));
  const std::string last = Profile().GetString(kUserSection, "LastModul");
  // Selecting the item runs the selection change: the info text and the
  // global module description follow it.
  if (!last.empty()) tree_->SelectPath(last);
  std::string library = ModuleDescription().DmDll();
  if (library.empty()) library = kDefaultDmLibrary;
  if (!links_.dm->Load(library)) ReportResult("Connect", kDmDllNotLoaded);
}

bool CConnectPage::OnSetActive() {
  if (tree_->currentItem() != nullptr) ShowModule(SelectedModuleDirectory());
  return true;
}

std::string CConnectPage::SelectedModuleDirectory() const {
  const QTreeWidgetItem* item = tree_->currentItem();
  return item != nullptr ? tree_->ModuleDirectory(item) : std::string();
}

void CConnectPage::ShowModule(const std::string& moduleDir) {
  const QString text = ReadInfoText(files::Join(moduleDir, "info.txt"));
  if (!text.isEmpty()) infoText_->setText(text);
  const std::string modulePath = files::ResolveNoCase(files::Join(moduleDir, "modul.ini"));
  ModuleDescription().SetPath(modulePath);
  portText_->setText(Qs(client::DescribeModulePort(modulePath)));
}

void CConnectPage::OnSelectionChanged() {
  if (tree_->currentItem() == nullptr) return;
  ShowModule(SelectedModuleDirectory());
  const IniFileAccess& module = ModuleDescription();
  if (module.AutoBootEnable() == 1) {
    autoBoot_->setChecked(module.AutoBoot() == 1);
    autoBoot_->show();
  } else {
    autoBoot_->hide();
    autoBoot_->setChecked(false);
  }
}

void CConnectPage::ConnectOrDisconnect() {
  if (const QTreeWidgetItem* item = tree_->currentItem()) {
    Profile().WriteString(kUserSection, "LastModul", CModuleTree::RelativePath(item));
  }
  if (connected_) {
    Disconnect();
  } else {
    Connect();
  }
}

}  // namespace zk::gui
