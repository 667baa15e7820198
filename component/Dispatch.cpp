#include "Dispatch.h"

namespace component {

Variant invokeById(IDispatch* d, DispId id, InvokeKind kind, std::span<Variant> args) {
    if (!d) throw AutomationError(E_Pointer, QStringLiteral("对象变量未设置"));
    Variant result;
    ExcepInfo excep;
    const HResult hr = d->Invoke(id, kind, args, &result, &excep);
    if (failed(hr)) {
        QString text = excep.description;
        if (text.isEmpty()) {
            switch (hr) {
            case Disp_E_MemberNotFound:
                text = QStringLiteral("对象不支持该属性或方法");
                break;
            case Disp_E_BadParamCount:
                text = QStringLiteral("参数个数错误");
                break;
            case Disp_E_ParamNotOptional:
                text = QStringLiteral("参数不可选");
                break;
            case Disp_E_TypeMismatch:
                text = QStringLiteral("类型不匹配");
                break;
            default:
                text = QStringLiteral("自动化错误");
                break;
            }
        }
        throw AutomationError(hr, text, excep.source);
    }
    return result;
}

Variant invokeByName(IDispatch* d, const QString& name, InvokeKind kind,
                     std::vector<Variant> args) {
    if (!d) throw AutomationError(E_Pointer, QStringLiteral("对象变量未设置"));
    DispId id = DispIdUnknown;
    if (failed(d->GetIDsOfNames(name, id)))
        throw AutomationError(Disp_E_UnknownName, QStringLiteral("对象不支持该属性或方法"));
    return invokeById(d, id, kind, args);
}

} // namespace component
