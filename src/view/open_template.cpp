// A new panorama from the "TemplatePath" folder.
#include <exception>
#include <memory>
#include <string>

#include "panorama/document_files.h"
#include "panorama/document_questions.h"
#include "panorama/format_table.h"
#include "panorama/unread_faces.h"
#include "platform/io_exception.h"
#include "platform/settings.h"
#include "view/painted_six_image.h"

std::unique_ptr<PaintedSixImage> openTemplate(DocumentQuestions& questions, const std::string& templateName) {
    std::string folder;
    if (readStringSetting("TemplatePath", folder, true, true)) {
        const std::string path = folder + "/" + templateName;
        if (canOpenForReading(path)) {
            auto panorama = std::make_unique<PaintedSixImage>();
            const int row = formatTable().bestOpenRow(templateName);
            try {
                panorama->load(questions, row == -1 ? 0 : row, path);
                if (!panorama->unreadFaces.empty()) questions.showMessage(unreadFacesMessage(panorama->unreadFaces));
                return panorama;
            } catch (const ioException&) {
            } catch (const std::exception&) {
            }
        }
    }
    questions.showMessage("Could not open template \"" + templateName + "\"");
    return nullptr;
}
