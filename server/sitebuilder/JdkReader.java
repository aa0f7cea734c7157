import com.sun.source.util.JavacTask;
import java.lang.module.ModuleFinder;
import java.lang.module.ModuleReference;
import java.net.URI;
import java.util.ArrayList;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Set;
import java.util.TreeMap;
import java.util.TreeSet;
import javax.lang.model.element.Element;
import javax.lang.model.element.ElementKind;
import javax.lang.model.element.ExecutableElement;
import javax.lang.model.element.Modifier;
import javax.lang.model.element.ModuleElement;
import javax.lang.model.element.PackageElement;
import javax.lang.model.element.TypeElement;
import javax.lang.model.element.TypeParameterElement;
import javax.lang.model.element.VariableElement;
import javax.lang.model.type.DeclaredType;
import javax.lang.model.type.TypeKind;
import javax.lang.model.type.TypeMirror;
import javax.lang.model.util.Elements;
import javax.lang.model.util.Types;
import javax.tools.JavaCompiler;
import javax.tools.JavaFileObject;
import javax.tools.SimpleJavaFileObject;
import javax.tools.ToolProvider;

/**
 * Reads the public API of the running JDK's modules through the compiler's model of them:
 * no class is loaded or initialised, and the model knows exactly what each module exports.
 */
final class JdkReader {
    record Method(String name, String signature, String returnType, String modifiers, String typeParameters,
                  String parameters, List<String> exceptions, boolean deprecated) {}

    record Field(String name, String type, String modifiers, boolean deprecated) {}

    record JavaClass(String binaryName, String dottedName, String packageName, String kind, String modifiers,
                     String typeParameters, String superclass, List<String> interfaces, List<String> ancestors,
                     List<String> allInterfaces, List<Method> constructors, List<Method> methods, List<Field> fields,
                     boolean deprecated) {}

    record JavaPackage(String name, List<JavaClass> classes) {}

    record Technology(String module, List<JavaPackage> packages) {}

    private final Elements elements;
    private final Types types;

    JdkReader() throws java.io.IOException {
        JavaCompiler compiler = ToolProvider.getSystemJavaCompiler();
        if (compiler == null)
            throw new IllegalStateException("no Java compiler in this runtime: a JDK is needed, not a JRE");
        // The compiler builds its model of the modules only once it has a source to compile.
        JavaFileObject empty = new SimpleJavaFileObject(URI.create("string:///Empty.java"), JavaFileObject.Kind.SOURCE) {
            @Override
            public CharSequence getCharContent(boolean ignoreEncodingErrors) {
                return "class Empty {}";
            }
        };
        JavacTask task = (JavacTask) compiler.getTask(null, null, diagnostic -> {},
                List.of("-proc:none", "--add-modules", String.join(",", systemModules())), null, List.of(empty));
        task.analyze();
        elements = task.getElements();
        types = task.getTypes();
    }

    /** The system modules, without the incubating ones. */
    static Set<String> systemModules() {
        Set<String> names = new TreeSet<>();
        for (ModuleReference module : ModuleFinder.ofSystem().findAll()) {
            String name = module.descriptor().name();
            if (!name.startsWith("jdk.incubator."))
                names.add(name);
        }
        return names;
    }

    /** One technology per module that exports java.* or javax.* packages to everyone. */
    List<Technology> read() {
        List<Technology> technologies = new ArrayList<>();
        for (String name : systemModules()) {
            ModuleElement module = elements.getModuleElement(name);
            if (module == null)
                continue;
            TreeMap<String, JavaPackage> packages = new TreeMap<>();
            for (ModuleElement.Directive directive : module.getDirectives()) {
                if (!(directive instanceof ModuleElement.ExportsDirective exports) || exports.getTargetModules() != null)
                    continue;
                PackageElement pkg = exports.getPackage();
                String packageName = pkg.getQualifiedName().toString();
                if (packageName.startsWith("java.") || packageName.startsWith("javax."))
                    packages.put(packageName, new JavaPackage(packageName, readPackage(pkg)));
            }
            if (!packages.isEmpty())
                technologies.add(new Technology(name, new ArrayList<>(packages.values())));
        }
        return technologies;
    }

    private List<JavaClass> readPackage(PackageElement pkg) {
        List<JavaClass> classes = new ArrayList<>();
        for (Element element : pkg.getEnclosedElements())
            if (element instanceof TypeElement type && isVisible(type))
                readType(type, classes);
        classes.sort((a, b) -> a.binaryName().compareTo(b.binaryName()));
        return classes;
    }

    // Public types, and the public or protected members of them that a subclass can see.
    private static boolean isVisible(Element element) {
        Set<Modifier> modifiers = element.getModifiers();
        return modifiers.contains(Modifier.PUBLIC) || modifiers.contains(Modifier.PROTECTED);
    }

    private void readType(TypeElement type, List<JavaClass> out) {
        String packageName = elements.getPackageOf(type).getQualifiedName().toString();
        String binaryName = elements.getBinaryName(type).toString().substring(packageName.length() + 1);
        String dottedName = type.getQualifiedName().toString().substring(packageName.length() + 1);

        String superclass = "";
        if (type.getKind() == ElementKind.CLASS || type.getKind() == ElementKind.ENUM
                || type.getKind() == ElementKind.RECORD)
            superclass = type.getSuperclass().getKind() == TypeKind.NONE ? "" : type.getSuperclass().toString();
        List<String> interfaces = new ArrayList<>();
        for (TypeMirror mirror : type.getInterfaces())
            interfaces.add(mirror.toString());

        List<String> ancestors = new ArrayList<>();
        for (TypeMirror s = type.getSuperclass(); s.getKind() == TypeKind.DECLARED;) {
            TypeElement superType = (TypeElement) ((DeclaredType) s).asElement();
            ancestors.add(superType.getQualifiedName().toString());
            s = superType.getSuperclass();
        }
        Set<String> allInterfaces = new LinkedHashSet<>();
        collectInterfaces(type, allInterfaces);

        List<Method> constructors = new ArrayList<>();
        List<Method> methods = new ArrayList<>();
        List<Field> fields = new ArrayList<>();
        List<TypeElement> nested = new ArrayList<>();
        for (Element member : type.getEnclosedElements()) {
            if (!isVisible(member))
                continue;
            switch (member.getKind()) {
            case CONSTRUCTOR -> constructors.add(readMethod((ExecutableElement) member));
            case METHOD -> methods.add(readMethod((ExecutableElement) member));
            case FIELD, ENUM_CONSTANT -> fields.add(new Field(member.getSimpleName().toString(), member.asType().toString(),
                    modifiers(member), elements.isDeprecated(member)));
            case CLASS, INTERFACE, ENUM, RECORD, ANNOTATION_TYPE -> nested.add((TypeElement) member);
            default -> {}
            }
        }
        methods.sort((a, b) -> (a.name() + a.signature()).compareTo(b.name() + b.signature()));
        fields.sort((a, b) -> a.name().compareTo(b.name()));

        out.add(new JavaClass(binaryName, dottedName, packageName, kindOf(type), modifiers(type),
                typeParameters(type.getTypeParameters()), superclass, interfaces, ancestors,
                new ArrayList<>(allInterfaces), constructors, methods, fields, elements.isDeprecated(type)));
        for (TypeElement inner : nested)
            readType(inner, out);
    }

    private void collectInterfaces(TypeElement type, Set<String> out) {
        for (TypeMirror mirror : type.getInterfaces()) {
            TypeElement iface = (TypeElement) types.asElement(mirror);
            if (iface != null && out.add(iface.getQualifiedName().toString()))
                collectInterfaces(iface, out);
        }
        TypeMirror superclass = type.getSuperclass();
        if (superclass.getKind() == TypeKind.DECLARED)
            collectInterfaces((TypeElement) types.asElement(superclass), out);
    }

    private Method readMethod(ExecutableElement method) {
        // The signature names erased, fully qualified parameter types, as documentation anchors do.
        StringBuilder signature = new StringBuilder("(");
        StringBuilder parameters = new StringBuilder();
        for (VariableElement parameter : method.getParameters()) {
            if (signature.length() > 1) {
                signature.append(", ");
                parameters.append(", ");
            }
            signature.append(types.erasure(parameter.asType()).toString());
            parameters.append(parameter.asType().toString());
        }
        if (method.isVarArgs() && parameters.toString().endsWith("[]"))
            parameters.setLength(parameters.length() - 2);
        if (method.isVarArgs() && !parameters.isEmpty())
            parameters.append("...");
        signature.append(')');
        List<String> exceptions = new ArrayList<>();
        for (TypeMirror thrown : method.getThrownTypes())
            exceptions.add(thrown.toString());
        String name = method.getKind() == ElementKind.CONSTRUCTOR
                ? method.getEnclosingElement().getSimpleName().toString()
                : method.getSimpleName().toString();
        return new Method(name, signature.toString(), method.getReturnType().toString(), modifiers(method),
                typeParameters(method.getTypeParameters()), parameters.toString(), exceptions,
                elements.isDeprecated(method));
    }

    private static String typeParameters(List<? extends TypeParameterElement> parameters) {
        if (parameters.isEmpty())
            return "";
        StringBuilder text = new StringBuilder("<");
        for (TypeParameterElement parameter : parameters) {
            if (text.length() > 1)
                text.append(", ");
            text.append(parameter.getSimpleName());
            List<? extends TypeMirror> bounds = parameter.getBounds();
            if (!(bounds.size() == 1 && bounds.get(0).toString().equals("java.lang.Object"))) {
                text.append(" extends ");
                for (int i = 0; i < bounds.size(); ++i)
                    text.append(i > 0 ? " & " : "").append(bounds.get(i));
            }
        }
        return text.append('>').toString();
    }

    private static String modifiers(Element element) {
        StringBuilder text = new StringBuilder();
        for (Modifier modifier : element.getModifiers())
            text.append(text.length() > 0 ? " " : "").append(modifier);
        return text.toString();
    }

    private static String kindOf(TypeElement type) {
        return switch (type.getKind()) {
        case INTERFACE -> "interface";
        case ENUM -> "enum";
        case RECORD -> "record";
        case ANNOTATION_TYPE -> "annotation";
        default -> "class";
        };
    }
}
