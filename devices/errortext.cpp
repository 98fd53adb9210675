#include "errortext.h"

#include <cerrno>

QString systemErrorText(int errnum)
{
    switch (errnum) {
    case ENOENT:
        return QStringLiteral("no existe");
    case ENOTDIR:
        return QStringLiteral("una parte de la ruta no es una carpeta");
    case EACCES:
    case EPERM:
        return QStringLiteral("permiso denegado");
    case EROFS:
        return QStringLiteral("el disco es de solo lectura");
    case ENOSPC:
        return QStringLiteral("no queda espacio en el disco");
#ifdef EDQUOT
    case EDQUOT:
        return QStringLiteral("se ha agotado la cuota de disco");
#endif
    case EISDIR:
        return QStringLiteral("es una carpeta");
    case ENAMETOOLONG:
        return QStringLiteral("el nombre es demasiado largo");
    case EIO:
        return QStringLiteral("error de lectura o escritura en el dispositivo");
    case ENODEV:
    case ENXIO:
        return QStringLiteral("el dispositivo no está conectado");
    case EBUSY:
        return QStringLiteral("el dispositivo está ocupado");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("hay demasiados archivos abiertos");
    case 0:
        return QStringLiteral("error desconocido");
    default:
        return QStringLiteral("error del sistema número %1").arg(errnum);
    }
}

QString soundFileErrorText(int code, int systemErrno)
{
    // The first codes are libsndfile's public ones (SF_ERR_*); the rest are its internal details.
    switch (code) {
    case 1:
        return QStringLiteral("no es un archivo de sonido que se pueda leer");
    case 2:
        return systemErrorText(systemErrno);
    case 3:
        return QStringLiteral("el archivo de sonido está dañado");
    case 4:
        return QStringLiteral("la codificación del sonido no se admite");
    default:
        return QStringLiteral("el archivo de sonido no se puede leer (error %1 de la biblioteca de sonido)")
            .arg(code);
    }
}
